#pragma once

#include <QDialog>

class Connection;
class Query;
class QLabel;
class QLineEdit;
class QPushButton;
struct MainState;

// Software name: the main window's title, kept in soft_record. Saving shows
// no message and leaves the dialog open.
class TForm8 final : public QDialog
{
    Q_OBJECT
public:
    TForm8(Connection& connection, MainState& state);

    QLabel* StaticText1;
    QLineEdit* Edit1;
    QPushButton* BitBtn1; // save
    QPushButton* BitBtn2; // exit
    Query* ADOQuery1;

signals:
    // The main window's title follows the stored name.
    void softwareNameChanged(const QString& name);

public slots:
    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    MainState& m_state;
};
