#pragma once

#include <QObject>
#include <functional>

class QTreeWidget;

// Calls a window's pick handler whenever the tree's current item changes,
// however it was chosen (keys, the program, any mouse button), and on every
// left click wherever it lands: a click acts on the selected item, also when
// it hit an expand arrow, the empty area below the items or the item already
// picked. A left click that changes the item acts once, on its release.
class TreePick final : public QObject
{
    Q_OBJECT
public:
    // The filter lives as long as the tree.
    static void install(QTreeWidget* tree, std::function<void()> handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TreePick(std::function<void()> handler, QObject* parent);

    std::function<void()> m_handler;
    bool m_leftPressed = false;
};
