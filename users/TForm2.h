#pragma once

#include <QDialog>

class Connection;
class Query;
class QLabel;
class QLineEdit;
class QPushButton;
struct MainState;

// The main window's controls that closing the login applies the settings to.
struct LoginTargets final
{
    QWidget* mainWindow; // its title is the software name
    QPushButton* BitBtn1;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
};

// The login dialog: shown once at start; a successful login sets the current
// user, and closing it loads the stored settings into the main window.
class TForm2 final : public QDialog
{
    Q_OBJECT
public:
    TForm2(Connection& connection, MainState& state, const LoginTargets& targets);

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

signals:
    void statusTextChanged(int panel, const QString& text);

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
    MainState& m_state;
    LoginTargets m_targets;
    bool m_quitRequested = false;
};
