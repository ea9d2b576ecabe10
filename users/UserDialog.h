#pragma once

#include <QDialog>

class Connection;
class OperationLog;
class Query;
class QueryModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPushButton;
class QTableView;

// User administration: lists the accounts of dd_user and adds, changes and
// deletes them. Whoever reaches it may change any account; only the last
// administrator is protected from deletion and from losing the permission.
class UserDialog final : public QDialog
{
    Q_OBJECT
public:
    UserDialog(Connection& connection, OperationLog& log);

    QTableView* recordGrid;
    QLabel* userLabel;
    QLineEdit* userEdit; // user name
    QLabel* passwordLabel;
    QLineEdit* passwordEdit; // password, shown as typed
    QLabel* permissionLabel;
    QComboBox* permissionCombo; // permission, pick-only
    QPushButton* addButton;     // add
    QPushButton* saveButton;    // save
    QPushButton* deleteButton;  // delete
    QPushButton* modifyButton;  // modify
    QPushButton* cancelButton;  // cancel
    Query* accountQuery;
    QueryModel* accountModel;

public slots:
    void FormShow();
    void pickAccount(const QModelIndex& index);
    void startAdding();
    void saveAccount();
    void deleteAccount();
    void startModifying();
    void cancelEditing();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void clearFields();
    void setControls(bool fields, bool grid, bool add, bool save, bool remove, bool modify);
    bool fieldsComplete();
    void saveNewAccount();
    void openRememberedAccount();
    void saveChangedAccount();

    OperationLog& m_log;
    bool m_adding = true;
    QString m_rememberedName;
    QString m_rememberedPassword;
};
