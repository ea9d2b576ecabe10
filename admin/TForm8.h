#pragma once

#include <QDialog>

class TForm1;

// Software name dialog; its commands arrive with the software name work.
class TForm8 final : public QDialog
{
    Q_OBJECT
public:
    explicit TForm8(TForm1& main);

private:
    TForm1& m_main;
};
