#pragma once

#include "store/StatusPanel.h"

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
    QPushButton* usersButton;
    QLineEdit* periodEdit;
    QLineEdit* readPeriodEdit;
};

// The login dialog: shown once at start; a successful login sets the current
// user, and closing it loads the stored settings into the main window.
class LoginDialog final : public QDialog
{
    Q_OBJECT
public:
    LoginDialog(Connection& connection, MainState& state, const LoginTargets& targets);

    QLabel* userLabel;
    QLineEdit* userEdit;
    QLabel* passwordLabel;
    QLineEdit* passwordEdit;
    QPushButton* loginButton;
    QPushButton* cancelButton;
    QLabel* hintLabel;
    Query* loginQuery;

    // True when the operator abandoned the login: the program must end.
    bool quitRequested() const { return m_quitRequested; }

signals:
    void statusTextChanged(int panel, const QString& text);

public slots:
    void FormShow();
    void logIn();
    void cancelLogin();
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
