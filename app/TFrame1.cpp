#include "app/TFrame1.h"

TFrame1::TFrame1(QWidget* parent) : QScrollArea(parent), m_host(new QWidget)
{
    setObjectName(QStringLiteral("Frame11"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    m_host->setObjectName(QStringLiteral("Frame11Host"));
    m_host->setPalette(pal);
    m_host->setAutoFillBackground(true);
    setWidget(m_host);
    updateExtent();
}

void TFrame1::updateExtent()
{
    const QRect used = m_host->childrenRect();
    const QSize viewport = maximumViewportSize();
    m_host->resize(qMax(viewport.width(), used.right() + 1), qMax(viewport.height(), used.bottom() + 1));
}
