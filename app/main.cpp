#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/Station.h"
#include "store/Connection.h"

#include <QApplication>
#include <QScreen>
#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = CommandLine::parse(arguments);
    if (command.finished) {
        std::fputs(command.message.toLocal8Bit().constData(), command.exitCode ? stderr : stdout);
        return command.exitCode;
    }

    QApplication app(argc, argv);
    Startup::loadQtTranslations(app);

    const QString database = Startup::findOrCreateDatabase(command.database);
    Connection connection;
    if (database.isEmpty() || !Startup::openDatabase(connection, database))
        return 2;

    // The station outlives its window: it closes the port and ends publishing last.
    Station station(connection);
    const QScreen* screen = QGuiApplication::primaryScreen();
    MainWindow window(station, screen ? screen->geometry().width() : 1280);
    if (screen)
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return app.exec();
}
