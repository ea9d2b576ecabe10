#include "display/CardLayout.h"

namespace CardLayout {

namespace {
int column(int cardNumber)
{
    return (cardNumber - 1) % 3;
}

int row(int cardNumber)
{
    return (cardNumber - 1) / 3;
}
} // namespace

QRect headerRect(int cardNumber)
{
    return QRect(8 + 168 * column(cardNumber), 8 + 130 * row(cardNumber), kWidth, kHeaderHeight);
}

QRect listRect(int cardNumber)
{
    return QRect(8 + 168 * column(cardNumber), 29 + 130 * row(cardNumber), kWidth, kListHeight);
}

} // namespace CardLayout
