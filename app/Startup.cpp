#include "app/Startup.h"

#include "app/DatabaseSearch.h"
#include "app/FirstStartDialog.h"
#include "kit/MessageBox.h"
#include "store/AppError.h"
#include "store/Connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QTranslator>
#include <cstdio>

namespace Startup {

QString findOrCreateDatabase(const QString& requested)
{
    const DatabaseSearch search = DatabaseSearch::run(
        requested, QDir::currentPath(), QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    if (search.found)
        return search.path;
    FirstStartDialog dialog(search);
    if (dialog.exec() == QDialog::Accepted)
        return search.path;
    std::fprintf(stderr, "%s\n",
                 QStringLiteral("未找到数据库文件 (no database file found), looked at: %1\n%2")
                     .arg(search.lookedAt.join(QStringLiteral(", ")), Connection::missingFileHint(search.path))
                     .toLocal8Bit()
                     .constData());
    return {};
}

bool openDatabase(Connection& connection, const QString& fileName)
{
    try {
        connection.open(fileName);
        return true;
    } catch (const AppError& e) {
        // Also on the terminal, for whoever started the program from a script.
        std::fprintf(stderr, "%s\n", e.text().toLocal8Bit().constData());
        MessageBox::error(e.text());
        return false;
    }
}

void loadQtTranslations(QCoreApplication& application)
{
    auto* translator = new QTranslator(&application);
    if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        application.installTranslator(translator);
    else
        std::fputs("未找到 Qt 的中文翻译 (qtbase_zh_CN.qm)，Qt 自带的文字将显示为英文\n", stderr);
}

} // namespace Startup
