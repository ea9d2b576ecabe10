#include "users/PasswordDialog.h"

#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "store/AccountTable.h"
#include "store/OperationLog.h"
#include "store/Query.h"
#include "store/StationState.h"
#include "store/Text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

PasswordDialog::PasswordDialog(Connection& connection, Session& session, OperationLog& log)
    : m_session(session), m_log(log)
{
    setObjectName(QStringLiteral("passwordDialog"));
    setWindowTitle(QStringLiteral("Form4"));
    setModal(true);
    setFixedSize(260, 150);

    passwordLabel = new QLabel(QStringLiteral("输入新密码"), this);
    passwordLabel->setObjectName(QStringLiteral("passwordLabel"));
    passwordLabel->setGeometry(20, 27, 70, 17);
    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit->setGeometry(96, 24, 140, 23);
    hintLabel = new QLabel(QStringLiteral("提示"), this);
    hintLabel->setObjectName(QStringLiteral("hintLabel"));
    hintLabel->setGeometry(20, 62, 216, 17);
    hintLabel->setStyleSheet(QStringLiteral("color: red;"));
    changeButton = new QPushButton(QStringLiteral("确定"), this);
    changeButton->setObjectName(QStringLiteral("changeButton"));
    changeButton->setGeometry(92, 100, 75, 28);
    changeButton->setDefault(true);
    accountQuery = new Query(connection, this);

    connect(changeButton, &QPushButton::clicked, this, &PasswordDialog::changePassword);
}

void PasswordDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void PasswordDialog::FormShow()
{
    hintLabel->clear();
}

void PasswordDialog::changePassword()
{
    guarded([this]() {
        const QString password = Text::trimmed(passwordEdit->text());
        if (password.isEmpty()) {
            hintLabel->setText(QStringLiteral("密码不能为空！"));
            return;
        }
        AccountTable(*accountQuery).openLogin(m_session.LoggedInUser, m_session.LoggedInPassword);
        // Two accounts with the same name and password cannot be told apart.
        if (accountQuery->recordCount() != 1) {
            hintLabel->setText(QStringLiteral("修改失败！"));
            return;
        }
        m_log.recordWith(QStringLiteral("修改密码"), QString(), [&]() {
            accountQuery->first();
            accountQuery->edit();
            accountQuery->setField(QStringLiteral("密码"), password);
            accountQuery->post();
        });
        accountQuery->close();
        // The next change looks the account up by the new password.
        m_session.LoggedInPassword = password;
        hintLabel->setText(QStringLiteral("修改成功！"));
    });
}
