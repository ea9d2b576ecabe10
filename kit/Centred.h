#pragma once

#include <QScreen>
#include <QWidget>

// Dialogs open centred on the screen at every showing, wherever they were left.
inline void centreOnScreen(QWidget& window)
{
    if (const QScreen* screen = window.screen()) {
        QRect frame = window.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window.move(frame.topLeft());
    }
}
