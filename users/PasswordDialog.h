#pragma once

#include <QDialog>

class Connection;
class Query;
class QLabel;
class QLineEdit;
class QPushButton;
struct Session;
class OperationLog;

// Password change for the logged-in user. Every outcome is shown on the red
// hint line; the dialog has no button that closes it, only the close box.
class PasswordDialog final : public QDialog
{
    Q_OBJECT
public:
    PasswordDialog(Connection& connection, Session& session, OperationLog& log);

    QLabel* passwordLabel;
    QLineEdit* passwordEdit; // the new password, kept between showings
    QLabel* hintLabel;
    QPushButton* changeButton;
    Query* accountQuery;

public slots:
    void FormShow();
    void changePassword();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Session& m_session;
    OperationLog& m_log;
};
