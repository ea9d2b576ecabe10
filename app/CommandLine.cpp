#include "app/CommandLine.h"

#include <QCommandLineParser>

CommandLine CommandLine::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("防雷监控软件 (surge-protection device monitor)"));
    // Qt's own "-platform NAME" is taken as it is, not as the letters -p -l -a...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // Not addHelpOption(): its --help-all lists Qt's options, which need the
    // application this parse runs before.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays help on commandline options."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("使用此数据库文件 (the database file to use; default: table.db in the working "
                       "folder, else $XDG_DATA_HOME/spdmon/table.db)"),
        QStringLiteral("PATH"));
    parser.addOption(database);
    QCommandLineOption platform(QStringLiteral("platform"), QString(), QStringLiteral("NAME"));
    platform.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(platform);

    // Without an application Qt cannot name the program in its usage line.
    const QString helpText = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("spdmon"));
    CommandLine result;
    if (!parser.parse(arguments)) {
        result.finished = true;
        result.exitCode = 64;
        result.message = parser.errorText() + QLatin1Char('\n') + helpText;
    } else if (!parser.positionalArguments().isEmpty()) {
        result.finished = true;
        result.exitCode = 64;
        result.message = QStringLiteral("Unexpected argument '%1'.\n%2")
                             .arg(parser.positionalArguments().constFirst(), helpText);
    } else if (parser.isSet(help)) {
        result.finished = true;
        result.message = helpText;
    } else if (parser.isSet(version)) {
        result.finished = true;
        result.message = QStringLiteral("spdmon %1\n").arg(QStringLiteral(SPDMON_VERSION));
    } else {
        result.database = parser.value(database);
    }
    return result;
}
