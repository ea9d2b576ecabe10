#pragma once

#include "admin/AlarmExport.h"
#include "admin/NameOnlyIconProvider.h"

#include <QFileDialog>

// Asks where to save the alarm log, starting at a suggested file. Qt's own
// dialog is used, never the desktop's: a native dialog running inside the
// program would read the listed files, the database among them.
// Lives on the stack for one question; the icon provider outlives the dialog,
// whose folder reader may still be using it while the dialog is destroyed.
class ExportFileDialog final
{
public:
    explicit ExportFileDialog(const QString& suggestedPath, QWidget* parent = nullptr);
    ExportFileDialog(const ExportFileDialog&) = delete;
    ExportFileDialog& operator=(const ExportFileDialog&) = delete;

    QFileDialog& dialog() { return m_dialog; }
    // Runs the dialog modally: the chosen path, or an empty text when cancelled.
    QString exec();

    // The question the alarm record dialog (or another log's window) asks,
    // starting at the default file name in the home folder.
    static QString askPath(QWidget* parent, const QString& logName = AlarmExport::kAlarmLog);

private:
    NameOnlyIconProvider m_icons;
    QFileDialog m_dialog;
};
