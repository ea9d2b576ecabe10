#include "users/UserDialog.h"

#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "kit/QueryModel.h"
#include "store/AccountTable.h"
#include "store/AppError.h"
#include "store/OperationLog.h"
#include "store/Permission.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>

namespace {
const QString kDatabaseFailed = QStringLiteral("操作失败，请检测数据库连接是否正常");
const QString kNoSuchUser = QStringLiteral("用户不存在，请在列表中选择用户");
const QString kLastAdministrator = QStringLiteral("管理员用户必须保留一个");

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(left, top + 3, 56, 17);
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, int left, int top)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(left, top, 150, 23);
    return edit;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int left)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, 288, 80, 28);
    // Enter in a field must not press a button by itself.
    button->setAutoDefault(false);
    return button;
}
} // namespace

UserDialog::UserDialog(Connection& connection, OperationLog& log) : m_log(log)
{
    setObjectName(QStringLiteral("userDialog"));
    setWindowTitle(QStringLiteral("用户管理"));
    setModal(true);
    setFixedSize(480, 332);
    accountQuery = new Query(connection, this);
    accountModel = new QueryModel(*accountQuery, this);
    accountModel->setObjectName(QStringLiteral("accountModel"));
    createControls();
    AccountTable(*accountQuery).listAtShow();
}

void UserDialog::createControls()
{
    recordGrid = new QTableView(this);
    recordGrid->setObjectName(QStringLiteral("recordGrid"));
    recordGrid->setGeometry(12, 12, 456, 190);
    // Changes go through the buttons and their checks only.
    recordGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    recordGrid->setModel(accountModel);
    recordGrid->setSelectionModel(accountModel->selection());
    recordGrid->horizontalHeader()->setStretchLastSection(true);
    recordGrid->verticalHeader()->setDefaultSectionSize(22);

    userLabel = makeLabel(this, "userLabel", QStringLiteral("用户名"), 12, 214);
    userEdit = makeEdit(this, "userEdit", 72, 214);
    passwordLabel = makeLabel(this, "passwordLabel", QStringLiteral("密    码"), 250, 214);
    passwordEdit = makeEdit(this, "passwordEdit", 310, 214);
    permissionLabel = makeLabel(this, "permissionLabel", QStringLiteral("权    限"), 12, 248);
    permissionCombo = new QComboBox(this);
    permissionCombo->setObjectName(QStringLiteral("permissionCombo"));
    permissionCombo->addItems({Permission::kAdministrator, Permission::kOrdinaryUser});
    permissionCombo->setGeometry(72, 248, 150, 23);

    addButton = makeButton(this, "addButton", QStringLiteral("添    加"), 12);
    saveButton = makeButton(this, "saveButton", QStringLiteral("保    存"), 106);
    deleteButton = makeButton(this, "deleteButton", QStringLiteral("删    除"), 200);
    modifyButton = makeButton(this, "modifyButton", QStringLiteral("修    改"), 294);
    cancelButton = makeButton(this, "cancelButton", QStringLiteral("取    消"), 388);

    connect(recordGrid, &QTableView::clicked, this, &UserDialog::pickAccount);
    connect(addButton, &QPushButton::clicked, this, &UserDialog::startAdding);
    connect(saveButton, &QPushButton::clicked, this, &UserDialog::saveAccount);
    connect(deleteButton, &QPushButton::clicked, this, &UserDialog::deleteAccount);
    connect(modifyButton, &QPushButton::clicked, this, &UserDialog::startModifying);
    connect(cancelButton, &QPushButton::clicked, this, &UserDialog::cancelEditing);
}

void UserDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void UserDialog::clearFields()
{
    userEdit->clear();
    passwordEdit->clear();
    permissionCombo->setCurrentIndex(-1);
}

void UserDialog::setControls(bool fields, bool grid, bool add, bool save, bool remove, bool modify)
{
    userEdit->setEnabled(fields);
    passwordEdit->setEnabled(fields);
    permissionCombo->setEnabled(fields);
    recordGrid->setEnabled(grid);
    addButton->setEnabled(add);
    saveButton->setEnabled(save);
    deleteButton->setEnabled(remove);
    modifyButton->setEnabled(modify);
    // Cancelling is always possible.
}

void UserDialog::FormShow()
{
    guarded([this]() {
        clearFields();
        setControls(false, true, true, false, false, false);
        AccountTable(*accountQuery).listAtShow();
    });
}

void UserDialog::pickAccount(const QModelIndex& index)
{
    const auto cell = [this, &index](int column) {
        return accountModel->index(index.row(), column).data().toString();
    };
    userEdit->setText(cell(0));
    passwordEdit->setText(cell(1));
    // A stored permission that is not one of the two offered shows no choice.
    permissionCombo->setCurrentIndex(permissionCombo->findText(cell(2)));
    setControls(false, true, true, false, true, true);
}

void UserDialog::startAdding()
{
    clearFields();
    setControls(true, false, false, true, false, false);
    userEdit->setFocus();
    m_adding = true;
}

void UserDialog::startModifying()
{
    setControls(true, false, false, true, false, false);
    m_adding = false;
    m_rememberedName = Text::trimmed(userEdit->text());
    m_rememberedPassword = Text::trimmed(passwordEdit->text());
}

void UserDialog::cancelEditing()
{
    clearFields();
    setControls(true, true, true, false, false, false);
}

bool UserDialog::fieldsComplete()
{
    const struct
    {
        QWidget* field;
        QString text;
        const char16_t* message;
    } required[] = {
        {userEdit, userEdit->text(), u"用户名不能为空"},
        {passwordEdit, passwordEdit->text(), u"密码不能为空"},
        {permissionCombo, permissionCombo->currentText(), u"请选择管理权限"},
    };
    for (const auto& check : required) {
        if (Text::trimmed(check.text).isEmpty()) {
            MessageBox::show(QString::fromUtf16(check.message), this);
            check.field->setFocus();
            return false;
        }
    }
    return true;
}

void UserDialog::saveAccount()
{
    guarded([this]() {
        if (!fieldsComplete())
            return;
        if (m_adding) {
            const QString name = Text::trimmed(userEdit->text());
            try {
                AccountTable(*accountQuery).openNamed(name);
            } catch (const AppError&) {
                MessageBox::show(kDatabaseFailed, this);
                return;
            }
            if (accountQuery->recordCount() >= 1) {
                MessageBox::show(QStringLiteral("用户已经存在，请重新输入用户名"), this);
                AccountTable(*accountQuery).list();
                userEdit->setFocus();
                return;
            }
            saveNewAccount();
        } else {
            saveChangedAccount();
        }
        AccountTable(*accountQuery).list();
        clearFields();
        setControls(false, true, true, false, false, false);
    });
}

void UserDialog::saveNewAccount()
{
    try {
        const QString name = Text::trimmed(userEdit->text());
        const QString permission = Text::trimmed(permissionCombo->currentText());
        m_log.recordWith(QStringLiteral("添加用户"), name + QLatin1Char(' ') + permission, [&]() {
            AccountTable(*accountQuery).add(name, Text::trimmed(passwordEdit->text()), permission);
        });
        MessageBox::show(QStringLiteral("添加成功"), this);
    } catch (const AppError&) {
        MessageBox::show(QStringLiteral("添加失败"), this);
    }
}

void UserDialog::openRememberedAccount()
{
    AccountTable(*accountQuery).openLogin(m_rememberedName, m_rememberedPassword);
}

void UserDialog::saveChangedAccount()
{
    openRememberedAccount();
    // Two accounts with the same name and password cannot be told apart.
    if (accountQuery->recordCount() != 1) {
        MessageBox::show(QStringLiteral("修改失败"), this);
        return;
    }
    // Taking the permission away loses the account's administrator as surely
    // as deleting it would, so the deletion rule applies.
    if (Text::trimmed(permissionCombo->currentText()) != Permission::kAdministrator) {
        if (AccountTable(*accountQuery).lastAdministratorWouldGo()) {
            MessageBox::show(kLastAdministrator, this);
            return;
        }
        openRememberedAccount();
    }
    const QString name = Text::trimmed(userEdit->text());
    const QString permission = Text::trimmed(permissionCombo->currentText());
    // The password is never written to the log, changed or not.
    accountQuery->first();
    const QString was = Text::trimmed(accountQuery->fieldText(QStringLiteral("权限")));
    const QString change = QStringLiteral("%1 %2 -> %3 %4").arg(m_rememberedName, was, name, permission);
    m_log.recordWith(QStringLiteral("修改用户"), change, [&]() {
        accountQuery->first();
        accountQuery->edit();
        accountQuery->setField(QStringLiteral("用户名"), name);
        accountQuery->setField(QStringLiteral("密码"), Text::trimmed(passwordEdit->text()));
        accountQuery->setField(QStringLiteral("权限"), permission);
        accountQuery->post();
    });
    accountQuery->close();
    MessageBox::show(QStringLiteral("修改成功"), this);
}

void UserDialog::deleteAccount()
{
    guarded([this]() {
        const QString name = Text::trimmed(userEdit->text());
        if (name.isEmpty()) {
            MessageBox::show(kNoSuchUser, this);
            return;
        }
        bool found = false;
        bool refused = false;
        try {
            AccountTable accounts(*accountQuery);
            accounts.openNamed(name);
            found = accountQuery->recordCount() > 0;
            refused = found && accounts.lastAdministratorWouldGo();
        } catch (const AppError&) {
            MessageBox::show(kDatabaseFailed, this);
            return;
        }
        if (!found || refused) {
            MessageBox::show(found ? kLastAdministrator : kNoSuchUser, this);
            AccountTable(*accountQuery).list();
            return;
        }
        try {
            m_log.recordWith(QStringLiteral("删除用户"), name,
                             [&]() { AccountTable(*accountQuery).removeNamed(name); });
            MessageBox::show(QStringLiteral("用户删除成功"), this);
        } catch (const AppError&) {
            MessageBox::show(QStringLiteral("用户删除失败"), this);
        }
        AccountTable(*accountQuery).list();
    });
}
