#pragma once

#include <QIcon>
#include <array>

class QTreeWidget;

using TreeImageList = std::array<QIcon, 3>;

// The three 16x16 images of the device tree, drawn here rather than shipped:
// 0 a computer monitor (the system), 1 a device, 2 a chip (a node).
TreeImageList drawTreeImages();

// Sets up a tree to show these images, indented by 19 pixels per level.
void prepareTreeForImages(QTreeWidget& tree);
