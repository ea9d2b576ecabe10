#pragma once

#include <QDialog>

class Query;
class QLabel;
class QLineEdit;
class QPushButton;
class TForm1;

// The login dialog: shown once at start; a successful login sets the current
// user, and closing it loads the stored settings into the main window.
class TForm2 final : public QDialog
{
    Q_OBJECT
public:
    explicit TForm2(TForm1& main);

    QLabel* StaticText1;
    QLineEdit* Edit1;
    QLabel* StaticText2;
    QLineEdit* Edit2;
    QPushButton* Button1;
    QPushButton* Button2;
    QLabel* StaticText3;
    Query* ADOQuery1;

    // True when the operator abandoned the login: the program must end.
    bool quitRequested() const { return m_quitRequested; }

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();
    void FormClose();
    // Escape acts as the close box.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    TForm1& m_main;
    bool m_quitRequested = false;
};
