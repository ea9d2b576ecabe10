#pragma once

#include <QDialog>

class Connection;
class Query;
class QLabel;
class QLineEdit;
class QPushButton;
struct MainState;

// Password change for the logged-in user. Every outcome is shown on the red
// hint line; the dialog has no button that closes it, only the close box.
class TForm4 final : public QDialog
{
    Q_OBJECT
public:
    TForm4(Connection& connection, MainState& state);

    QLabel* StaticText1;
    QLineEdit* Edit1; // the new password, kept between showings
    QLabel* StaticText2;
    QPushButton* BitBtn1;
    Query* ADOQuery1;

public slots:
    void FormShow();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    MainState& m_state;
};
