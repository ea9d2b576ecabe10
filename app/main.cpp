#include "app/Startup.h"
#include "app/TForm1.h"
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

    const QScreen* screen = QGuiApplication::primaryScreen();
    TForm1 form1(connection, screen ? screen->geometry().width() : 1280);
    if (screen)
        form1.move(screen->availableGeometry().center() - form1.rect().center());
    form1.show();
    return app.exec();
}
