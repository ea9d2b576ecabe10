#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Calls a window's click handler on every click of a widget, wherever it
// lands: a tree's click handler acts on the selected item, also when the
// click hit an expand arrow or the empty area below the items.
class ClickFilter final : public QObject
{
    Q_OBJECT
public:
    // The filter lives as long as the widget.
    static void install(QWidget* widget, std::function<void()> handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ClickFilter(std::function<void()> handler, QObject* parent);

    std::function<void()> m_handler;
};
