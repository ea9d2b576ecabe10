#pragma once

#include <QDialog>

class Connection;
struct MainState;

// Software name dialog; its commands arrive with the software name work.
class TForm8 final : public QDialog
{
    Q_OBJECT
public:
    TForm8(Connection& connection, MainState& state);

signals:
    // The main window's title follows the stored name.
    void softwareNameChanged(const QString& name);
};
