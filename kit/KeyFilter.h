#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Passes each character typed into an edit or an editable combo box through a
// window's key handler (its `...KeyPress`); a handler that sets the key to the
// null character discards it.
class KeyFilter final : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(QChar& key)>;

    // The filter lives as long as the widget.
    static void install(QWidget* widget, Handler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyFilter(Handler handler, QObject* parent);

    Handler m_handler;
};
