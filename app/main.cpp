#include "app/MainWindow.h"
#include "app/Startup.h"
#include "app/Station.h"
#include "store/Connection.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Startup::loadQtTranslations(app);

    Connection connection;
    if (!Startup::openDatabase(connection, Startup::kDatabaseFile))
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
