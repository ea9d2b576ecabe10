#pragma once

#include <QDialog>

class TForm1;

// Password change dialog; its commands arrive with the password change work.
class TForm4 final : public QDialog
{
    Q_OBJECT
public:
    explicit TForm4(TForm1& main);

private:
    TForm1& m_main;
};
