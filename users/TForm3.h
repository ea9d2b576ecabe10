#pragma once

#include <QDialog>

class Connection;

// User administration dialog; its commands arrive with the user administration work.
class TForm3 final : public QDialog
{
    Q_OBJECT
public:
    explicit TForm3(Connection& connection);
};
