#pragma once

#include <QDialog>

class TForm1;

// Alarm record dialog; its commands arrive with the alarm administration work.
class TForm7 final : public QDialog
{
    Q_OBJECT
public:
    explicit TForm7(TForm1& main);

private:
    TForm1& m_main;
};
