#pragma once

#include "kit/NameOnlyIconProvider.h"

#include <QFileDialog>

// Asks where to save an export, starting at a suggested file. Qt's own
// dialog is used, never the desktop's: a native dialog running inside the
// program would read the listed files, the database among them.
// Lives on the stack for one question; the icon provider outlives the dialog,
// whose folder reader may still be using it while the dialog is destroyed.
class ExportFileDialog final
{
public:
    ExportFileDialog(const QString& title, const QString& suggestedPath, QWidget* parent = nullptr);
    ExportFileDialog(const ExportFileDialog&) = delete;
    ExportFileDialog& operator=(const ExportFileDialog&) = delete;

    QFileDialog& dialog() { return m_dialog; }
    // Runs the dialog modally: the chosen path, or an empty text when cancelled.
    QString exec();

private:
    NameOnlyIconProvider m_icons;
    QFileDialog m_dialog;
};
