#pragma once

#include <QDialog>

class Connection;
class Query;
class QLabel;
class QLineEdit;
class QPushButton;
struct Session;
class OperationLog;

// Software name: the main window's title, kept in soft_record. Saving shows
// no message and leaves the dialog open.
class SoftwareNameDialog final : public QDialog
{
    Q_OBJECT
public:
    SoftwareNameDialog(Connection& connection, Session& session, OperationLog& log);

    QLabel* nameLabel;
    QLineEdit* nameEdit;
    QPushButton* saveButton; // save
    QPushButton* exitButton; // exit
    Query* settingsQuery;

signals:
    // The main window's title follows the stored name.
    void softwareNameChanged(const QString& name);

public slots:
    void FormShow();
    void saveName();
    void exitDialog();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Session& m_session;
    OperationLog& m_log;
};
