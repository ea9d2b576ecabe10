#pragma once

#include "kit/MessageBox.h"
#include "store/AppError.h"

#include <exception>

// Runs an event handler the way the operator expects: an error ends the
// handler, its text is shown in a box, and what was done before stays done.
// Returns false when the handler was ended by an error. guardedWith hands the
// error text to report instead of the default box.
template <typename Handler, typename Report> bool guardedWith(Handler&& handler, Report&& report)
{
    try {
        handler();
        return true;
    } catch (const AppError& e) {
        report(e.text());
    } catch (const std::exception& e) {
        report(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

template <typename Handler> bool guarded(Handler&& handler)
{
    return guardedWith(handler, [](const QString& text) { MessageBox::error(text); });
}
