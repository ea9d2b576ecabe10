#include "kit/KeyFilter.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

KeyFilter::KeyFilter(Handler handler, QObject* parent) : QObject(parent), m_handler(std::move(handler)) {}

void KeyFilter::install(QWidget* widget, Handler handler)
{
    auto* filter = new KeyFilter(std::move(handler), widget);
    widget->installEventFilter(filter);
    // An editable combo box hands typed keys on to its line edit.
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->lineEdit())
        combo->lineEdit()->installEventFilter(filter);
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (!text.isEmpty()) {
            QChar key = text.at(0);
            m_handler(key);
            if (key.isNull())
                return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
