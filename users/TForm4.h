#pragma once

#include <QDialog>

class Connection;
struct MainState;

// Password change dialog; its commands arrive with the password change work.
class TForm4 final : public QDialog
{
    Q_OBJECT
public:
    TForm4(Connection& connection, MainState& state);
};
