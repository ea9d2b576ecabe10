#pragma once

#include <QDialog>

class TForm1;

// User administration dialog; its commands arrive with the user administration work.
class TForm3 final : public QDialog
{
    Q_OBJECT
public:
    explicit TForm3(TForm1& main);

private:
    TForm1& m_main;
};
