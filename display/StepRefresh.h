#pragma once

struct DataPanel;
struct PolledRow;

// The view after a poll step: the step wrote polled (its row -1 for none).
// Only the card showing that row is made again, from the written columns,
// while what the view shows is otherwise still what the file holds; the whole
// view is refreshed as by ShowSelectedView in update mode at the end of a
// pass, when another connection wrote the file, when a remaining life may
// have changed, and whenever the row is not among those shown. Either way the
// cards end up as a full refresh would leave them. True when the whole view
// was refreshed.
bool ShowPolledRow(DataPanel& panel, const PolledRow& polled, bool passEnded);
