#pragma once

#include <QRect>

// Where card n (counted from 1) of the data view stands on the frame: three
// columns 168 pixels apart, one row every 130 pixels.
namespace CardLayout {

constexpr int kWidth = 160;
constexpr int kListHeight = 100;
// The header's top edge and the list's top edge are 21 pixels apart; the header
// is sized to that gap (a single-line edit fitted to its font) so that none of
// it hides behind the list.
constexpr int kHeaderHeight = 21;

QRect headerRect(int cardNumber);
QRect listRect(int cardNumber);

} // namespace CardLayout
