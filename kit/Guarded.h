#pragma once

#include "kit/MessageBox.h"
#include "store/AppError.h"

#include <exception>

// Runs an event handler the way the operator expects: an error ends the
// handler, its text is shown in a box, and what was done before stays done.
// Returns false when the handler was ended by an error.
template <typename Handler> bool guarded(Handler&& handler)
{
    try {
        handler();
        return true;
    } catch (const AppError& e) {
        MessageBox::error(e.text());
    } catch (const std::exception& e) {
        MessageBox::error(QString::fromLocal8Bit(e.what()));
    }
    return false;
}
