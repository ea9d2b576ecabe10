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

int rowTop(int cardNumber)
{
    return 8 + 166 * row(cardNumber);
}
} // namespace

QRect markRect(int cardNumber)
{
    constexpr int markWidth = 42;
    return QRect(8 + 168 * column(cardNumber) + kWidth - markWidth, rowTop(cardNumber), markWidth,
                 kMarkHeight);
}

QRect headerRect(int cardNumber)
{
    return QRect(8 + 168 * column(cardNumber), rowTop(cardNumber) + kMarkHeight, kWidth, kHeaderHeight);
}

QRect listRect(int cardNumber)
{
    return QRect(8 + 168 * column(cardNumber), rowTop(cardNumber) + kMarkHeight + kHeaderHeight, kWidth,
                 kListHeight);
}

} // namespace CardLayout
