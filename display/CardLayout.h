#pragma once

#include <QRect>

// Where card n (counted from 1) of the data view stands on the frame: three
// columns 168 pixels apart, one row every 166 pixels. Above each header a
// strip holds the card's 未确认 mark, clear of the header's text.
namespace CardLayout {

constexpr int kWidth = 160;
constexpr int kMarkHeight = 16;
// Six lines: the nodes of a KPV, its remaining life with the surges of the
// last 30 days below it, and the read time.
constexpr int kListHeight = 120;
// The header's top edge and the list's top edge are 21 pixels apart; the header
// is sized to that gap (a single-line edit fitted to its font) so that none of
// it hides behind the list.
constexpr int kHeaderHeight = 21;

QRect markRect(int cardNumber);
QRect headerRect(int cardNumber);
QRect listRect(int cardNumber);

} // namespace CardLayout
