#include "app/CardFrame.h"

#include <QScrollBar>

CardFrame::CardFrame(QWidget* parent) : QScrollArea(parent), m_host(new QWidget)
{
    setObjectName(QStringLiteral("cardFrame"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    m_host->setObjectName(QStringLiteral("cardHost"));
    m_host->setPalette(pal);
    m_host->setAutoFillBackground(true);
    setWidget(m_host);
    updateExtent();
}

void CardFrame::updateExtent()
{
    // Fill what stays visible once the needed scroll bars take their room, so
    // that one bar does not bring up the other without cause.
    const QRect used = m_host->childrenRect();
    const QSize needed(used.right() + 1, used.bottom() + 1);
    QSize area = maximumViewportSize();
    const int barWidth = verticalScrollBar()->sizeHint().width();
    const int barHeight = horizontalScrollBar()->sizeHint().height();
    const bool vertical = needed.height() > area.height();
    if (vertical)
        area.rwidth() -= barWidth;
    if (needed.width() > area.width()) {
        area.rheight() -= barHeight;
        if (!vertical && needed.height() > area.height())
            area.rwidth() -= barWidth;
    }
    m_host->resize(qMax(area.width(), needed.width()), qMax(area.height(), needed.height()));
}

void CardFrame::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    updateExtent();
}
