#pragma once

#include <QDialog>

class TForm1;

// Serial port settings dialog.
class TForm6 final : public QDialog
{
    Q_OBJECT
public:
    explicit TForm6(TForm1& main);

private:
    TForm1& m_main;
};
