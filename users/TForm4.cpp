#include "users/TForm4.h"

#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "store/MainState.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

TForm4::TForm4(Connection& connection, MainState& state) : m_state(state)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Form4"));
    setModal(true);
    setFixedSize(260, 150);

    StaticText1 = new QLabel(QStringLiteral("输入新密码"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setGeometry(20, 27, 70, 17);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(96, 24, 140, 23);
    StaticText2 = new QLabel(QStringLiteral("提示"), this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->setGeometry(20, 62, 216, 17);
    StaticText2->setStyleSheet(QStringLiteral("color: red;"));
    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(92, 100, 75, 28);
    BitBtn1->setDefault(true);
    ADOQuery1 = new Query(connection, this);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm4::BitBtn1Click);
}

void TForm4::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TForm4::FormShow()
{
    StaticText2->clear();
}

void TForm4::BitBtn1Click()
{
    guarded([this]() {
        const QString password = Text::trimmed(Edit1->text());
        if (password.isEmpty()) {
            StaticText2->setText(QStringLiteral("密码不能为空！"));
            return;
        }
        ADOQuery1->close();
        ADOQuery1->setSql(QStringLiteral("select * from dd_user where (用户名=:user1)and(密码=:password1)"));
        ADOQuery1->setText(QStringLiteral("user1"), m_state.LoggedInUser);
        ADOQuery1->setText(QStringLiteral("password1"), m_state.LoggedInPassword);
        ADOQuery1->open();
        // Two accounts with the same name and password cannot be told apart.
        if (ADOQuery1->recordCount() != 1) {
            StaticText2->setText(QStringLiteral("修改失败！"));
            return;
        }
        ADOQuery1->first();
        ADOQuery1->edit();
        ADOQuery1->setField(QStringLiteral("密码"), password);
        ADOQuery1->post();
        ADOQuery1->close();
        // The next change looks the account up by the new password.
        m_state.LoggedInPassword = password;
        StaticText2->setText(QStringLiteral("修改成功！"));
    });
}
