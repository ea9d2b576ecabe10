#pragma once

#include <QDialog>

class Connection;
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
class TForm3 final : public QDialog
{
    Q_OBJECT
public:
    explicit TForm3(Connection& connection);

    QTableView* DBGrid1;
    QLabel* StaticText2;
    QLineEdit* Edit1; // user name
    QLabel* StaticText1;
    QLineEdit* Edit2; // password, shown as typed
    QLabel* StaticText3;
    QComboBox* ComboBox1; // permission, pick-only
    QPushButton* BitBtn1; // add
    QPushButton* BitBtn2; // save
    QPushButton* BitBtn3; // delete
    QPushButton* BitBtn4; // modify
    QPushButton* BitBtn5; // cancel
    Query* ADOQuery1;
    QueryModel* DataSource1;

public slots:
    void FormShow();
    void DBGrid1CellClick(const QModelIndex& index);
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void relist(const QString& statement);
    void clearFields();
    void setControls(bool fields, bool grid, bool add, bool save, bool remove, bool modify);
    bool fieldsComplete();
    void saveNewAccount();
    void openRememberedAccount();
    void saveChangedAccount();
    bool lastAdministratorWouldGo();

    bool m_adding = true;
    QString m_rememberedName;
    QString m_rememberedPassword;
};
