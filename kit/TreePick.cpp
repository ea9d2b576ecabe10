#include "kit/TreePick.h"

#include <QMouseEvent>
#include <QTreeWidget>

TreePick::TreePick(std::function<void()> handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{}

void TreePick::install(QTreeWidget* tree, std::function<void()> handler)
{
    auto* pick = new TreePick(std::move(handler), tree);
    tree->viewport()->installEventFilter(pick);
    // A left press moves the current item before it selects it: its release acts instead.
    connect(tree, &QTreeWidget::currentItemChanged, pick, [pick]() {
        if (!pick->m_leftPressed)
            pick->m_handler();
    });
}

bool TreePick::eventFilter(QObject* watched, QEvent* event)
{
    const auto left = [event]() { return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton; };
    if (event->type() == QEvent::MouseButtonPress && left()) {
        m_leftPressed = true;
    } else if (event->type() == QEvent::MouseButtonRelease && left()) {
        // Item views select on the press, so on the release the handler finds
        // the item the click chose.
        m_leftPressed = false;
        m_handler();
    }
    return QObject::eventFilter(watched, event);
}
