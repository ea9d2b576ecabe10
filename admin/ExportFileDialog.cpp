#include "admin/ExportFileDialog.h"

#include "admin/AlarmExport.h"
#include "store/Clock.h"

#include <QFileInfo>

ExportFileDialog::ExportFileDialog(const QString& suggestedPath, QWidget* parent) : m_dialog(parent)
{
    // The option comes first: until it is set, a desktop with a dialog of its
    // own has no folder model yet to take the icon provider.
    m_dialog.setOption(QFileDialog::DontUseNativeDialog);
    m_dialog.setIconProvider(&m_icons);
    m_dialog.setWindowTitle(QStringLiteral("导出告警记录"));
    m_dialog.setAcceptMode(QFileDialog::AcceptSave);
    m_dialog.setFileMode(QFileDialog::AnyFile);
    m_dialog.setNameFilter(QStringLiteral("CSV 文件 (*.csv)"));
    m_dialog.setDefaultSuffix(QStringLiteral("csv"));
    m_dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("位置:"));
    m_dialog.setLabelText(QFileDialog::FileName, QStringLiteral("文件名:"));
    m_dialog.setLabelText(QFileDialog::FileType, QStringLiteral("文件类型:"));
    m_dialog.setLabelText(QFileDialog::Accept, QStringLiteral("保存"));
    m_dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    m_dialog.setDirectory(QFileInfo(suggestedPath).absolutePath());
    m_dialog.selectFile(suggestedPath);
}

QString ExportFileDialog::exec()
{
    if (m_dialog.exec() != QDialog::Accepted || m_dialog.selectedFiles().isEmpty())
        return QString();
    return m_dialog.selectedFiles().constFirst();
}

QString ExportFileDialog::askPath(QWidget* parent, const QString& logName)
{
    return ExportFileDialog(AlarmExport::defaultPath(Clock::now(), logName), parent).exec();
}
