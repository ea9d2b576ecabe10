#pragma once

#include "store/StatusPanel.h"

#include <QDialog>

class Connection;
class Query;
class QLabel;
class QLineEdit;
class QPushButton;
struct LineSettings;
struct PollState;
struct Session;
class OperationLog;

// The login dialog: shown once at start; a successful login sets the current
// user, and closing it loads the stored settings and says what to show.
class LoginDialog final : public QDialog
{
    Q_OBJECT
public:
    LoginDialog(Connection& connection, Session& session, LineSettings& line, PollState& poll,
                OperationLog& log);

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
    // The stored settings are loaded: the window's title, whether the user
    // command manages accounts, and the two periods to edit.
    void settingsLoaded(const QString& softwareName, bool administrator, int monitorPeriod,
                        int nodeReadPeriod);

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
    Session& m_session;
    LineSettings& m_line;
    PollState& m_poll;
    OperationLog& m_log;
    bool m_quitRequested = false;
};
