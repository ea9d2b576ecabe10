#pragma once

class TForm1;

// Fills the main window's tree from node_record: the root, one item per device
// and its nodes.
void BuildDeviceTree(TForm1& form);
