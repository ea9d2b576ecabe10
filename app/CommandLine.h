#pragma once

#include <QString>
#include <QStringList>

// What the program's command line asks for. Parsed before the window system
// is reached, so --help and --version work without a display.
struct CommandLine final
{
    // --database PATH; empty for the usual places.
    QString database;
    // Help, version or error text; with a finished request the program prints
    // it (on stderr when exitCode is not 0) and ends with exitCode.
    QString message;
    bool finished = false;
    int exitCode = 0;

    // arguments: the program name first, as argv.
    static CommandLine parse(const QStringList& arguments);
};
