#include "kit/KeyFilter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QInputMethodEvent>
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
        // Only typed characters are filtered: Delete, Tab and the Ctrl
        // shortcuts carry control characters as their text and go through.
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (!text.isEmpty() && text.at(0).isPrint()) {
            QChar key = text.at(0);
            m_handler(key);
            if (key.isNull())
                return true;
        }
    } else if (event->type() == QEvent::InputMethod) {
        // Text from an input method obeys the same rule, character by character.
        auto* input = static_cast<QInputMethodEvent*>(event);
        QString kept;
        for (QChar key : input->commitString()) {
            m_handler(key);
            if (!key.isNull())
                kept += key;
        }
        if (kept != input->commitString()) {
            QInputMethodEvent filtered(input->preeditString(), input->attributes());
            filtered.setCommitString(kept, input->replacementStart(), input->replacementLength());
            QCoreApplication::sendEvent(watched, &filtered);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
