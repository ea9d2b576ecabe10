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

    // Test seam: while recording, nothing is shown; questions take the next answer.
    static void setRecording(bool recording);
    static void setNextAnswer(bool yes);
    static QStringList takeShown();
};
