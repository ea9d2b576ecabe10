#pragma once

#include "display/NodeCard.h"

#include <QColor>
#include <functional>

class QString;
struct DataPanel;

// The cards of the data view on cardFrame: header edit and list, slot n-1 of
// CardHeaders and CardLists holding card n. Only a create call makes cards and
// only FreeCards removes them; filling never creates or frees a control.
namespace Cards {

// Header background colours: normal, alarm and communication abnormal, the
// colours of the main window's legend.
QColor colour(CardState state);

// Creates card n with an empty list, at its place on the frame.
void create(DataPanel& panel, int cardNumber);

// Rewrites what differs from what card n shows; a card that is not there is
// left alone.
void setHeader(DataPanel& panel, int cardNumber, CardState state, const QString& text);
void setHeaderColour(DataPanel& panel, int cardNumber, CardState state);
void setHeaderText(DataPanel& panel, int cardNumber, const QString& text);
// Marks card n as showing a device with an unacknowledged alarm, beside its
// colour, or takes the mark away.
void setUnacknowledgedMark(DataPanel& panel, int cardNumber, bool marked);
// A line beyond the end of the list is skipped.
void setLine(DataPanel& panel, int cardNumber, int line, const QString& text);

// Gives each card shown the tooltip of its device: in the overview a card is
// one device, in the other views every card belongs to the selected device.
void setTips(DataPanel& panel, const std::function<QString(int deviceId)>& tipOf);
// The same for one device's cards alone, as its counters change: a step
// then costs the same however many cards the bus has.
void setTipsOf(DataPanel& panel, int deviceId, const QString& tip);

} // namespace Cards

// Frees the header, the list and the mark of cards 1 to CardCount, each only if
// present, and empties their slots. CardCount is left for the create step
// that follows every call to set anew.
void FreeCards(DataPanel& panel);
