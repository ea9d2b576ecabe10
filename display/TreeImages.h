#pragma once

#include <QIcon>
#include <array>

class TForm1;

// The three 16x16 images of the device tree, drawn here rather than shipped:
// 0 a computer monitor (the system), 1 a device, 2 a chip (a node).
std::array<QIcon, 3> drawTreeImages();

// Fills ImageList1 and sets up TreeView1 to show its images, indented by 19
// pixels per level.
void loadTreeImages(TForm1& form);
