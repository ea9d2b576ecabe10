#include "kit/ClickFilter.h"

#include <QMouseEvent>
#include <QWidget>

ClickFilter::ClickFilter(std::function<void()> handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler))
{}

void ClickFilter::install(QWidget* widget, std::function<void()> handler)
{
    widget->installEventFilter(new ClickFilter(std::move(handler), widget));
}

bool ClickFilter::eventFilter(QObject* watched, QEvent* event)
{
    // Item views select on the press, so on the release the handler finds
    // the item the click chose.
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        m_handler();
    return QObject::eventFilter(watched, event);
}
