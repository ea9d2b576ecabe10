#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every message box of the program goes through here, so tests can record the
// messages instead of blocking on a modal box.
class MessageBox final
{
public:
    static void show(const QString& text, QWidget* parent = nullptr);
    static void error(const QString& text, QWidget* parent = nullptr);
    static bool question(const QString& text, QWidget* parent = nullptr);
    // An error box that does not wait for the operator, for work that must go
    // on meanwhile (polling). At most one is open: while it is, later errors
    // only replace its text.
    static void errorWithoutWaiting(const QString& text, QWidget* parent = nullptr);

    // Test seam: while recording, nothing is shown; questions take the next
    // answer; taking the shown texts counts as closing the boxes.
    static void setRecording(bool recording);
    static void setNextAnswer(bool yes);
    static QStringList takeShown();
};
