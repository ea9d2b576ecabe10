#pragma once

#include <QDialog>

class TForm1;

// Device management dialog; its commands arrive with the device configuration work.
class TForm5 final : public QDialog
{
    Q_OBJECT
public:
    explicit TForm5(TForm1& main);

    // Mode of the dialog; the main window sets "监控系统" before each opening.
    QString DialogKind;

private:
    TForm1& m_main;
};
