#include "app/Startup.h"

#include "kit/MessageBox.h"
#include "store/AppError.h"
#include "store/Connection.h"

#include <cstdio>

namespace Startup {

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

} // namespace Startup
