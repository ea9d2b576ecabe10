#pragma once

#include <QScrollArea>

// The white container of the data view's cards. Cards are placed at fixed
// positions on host(); scroll bars appear when they pass the frame's edge.
class CardFrame final : public QScrollArea
{
    Q_OBJECT
public:
    explicit CardFrame(QWidget* parent = nullptr);

    QWidget* host() const { return m_host; }
    // Grows or shrinks the scrollable area to the cards now on the host.
    void updateExtent();

protected:
    // The host always covers at least the visible area, so it stays white.
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* m_host;
};
