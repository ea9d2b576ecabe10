#include "users/TForm2.h"

#include "kit/Guarded.h"
#include "store/FixedTexts.h"
#include "store/MainState.h"
#include "store/Permission.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

TForm2::TForm2(Connection& connection, MainState& state, const LoginTargets& targets)
    : m_state(state), m_targets(targets)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("用户登陆"));
    setFixedSize(239, 198);
    setModal(true);

    StaticText1 = new QLabel(QStringLiteral("用户名"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setGeometry(24, 28, 60, 17);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(88, 24, 121, 21);
    StaticText2 = new QLabel(QStringLiteral("密    码"), this);
    StaticText2->setObjectName(QStringLiteral("StaticText2"));
    StaticText2->setGeometry(24, 68, 60, 17);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(88, 64, 121, 21);
    Button1 = new QPushButton(QStringLiteral("登陆"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(32, 112, 75, 25);
    Button1->setDefault(true);
    Button2 = new QPushButton(QStringLiteral("取消"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(132, 112, 75, 25);
    Button2->setAutoDefault(false);
    StaticText3 = new QLabel(QStringLiteral("登陆提示！"), this);
    StaticText3->setObjectName(QStringLiteral("StaticText3"));
    StaticText3->setGeometry(24, 152, 190, 17);
    StaticText3->setStyleSheet(QStringLiteral("color: red;"));
    ADOQuery1 = new Query(connection, this);

    connect(Button1, &QPushButton::clicked, this, &TForm2::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

void TForm2::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TForm2::FormShow()
{
    StaticText3->setText(QString());
}

void TForm2::Button1Click()
{
    guarded([this]() {
        StaticText3->setText(QString());
        const QString user = Text::trimmed(Edit1->text());
        const QString password = Text::trimmed(Edit2->text());
        if (user.isEmpty()) {
            StaticText3->setText(QStringLiteral("用户名不能为空！"));
            Edit1->setFocus();
            return;
        }
        if (password.isEmpty()) {
            StaticText3->setText(QStringLiteral("密码不能为空！"));
            Edit2->setFocus();
            return;
        }
        ADOQuery1->close();
        ADOQuery1->setSql(QStringLiteral("select * from dd_user where (用户名=:user1)and(密码=:password1)"));
        ADOQuery1->setText(QStringLiteral("user1"), user);
        ADOQuery1->setText(QStringLiteral("password1"), password);
        ADOQuery1->open();
        if (ADOQuery1->recordCount() >= 1) {
            ADOQuery1->first();
            MainState& s = m_state;
            s.LoggedInUser = Text::trimmed(ADOQuery1->fieldText(QStringLiteral("用户名")));
            s.LoggedInPassword = Text::trimmed(ADOQuery1->fieldText(QStringLiteral("密码")));
            s.LoggedInPermission = Text::trimmed(ADOQuery1->fieldText(QStringLiteral("权限")));
            emit statusTextChanged(0, s.LoggedInPermission + QStringLiteral(":") + s.LoggedInUser);
            ADOQuery1->close();
            close();
        } else {
            StaticText3->setText(QStringLiteral("用户或密码错误！"));
        }
    });
}

void TForm2::Button2Click()
{
    // Ends the program without applying anything.
    m_quitRequested = true;
    QDialog::done(QDialog::Rejected);
}

void TForm2::reject()
{
    close();
}

void TForm2::closeEvent(QCloseEvent* event)
{
    if (!guarded([this]() { FormClose(); })) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::done(m_state.LoggedInUser.isEmpty() ? QDialog::Rejected : QDialog::Accepted);
}

void TForm2::FormClose()
{
    MainState& s = m_state;
    if (s.LoggedInUser.isEmpty())
        m_quitRequested = true; // closed without a login: apply, then end
    ADOQuery1->close();
    ADOQuery1->setSql(QStringLiteral("select * from soft_record"));
    ADOQuery1->open();
    if (ADOQuery1->recordCount() == 0) {
        s.SoftwareName = QStringLiteral("监控软件");
        s.PortState = PortState::kClosed;
    } else {
        ADOQuery1->first();
        s.SoftwareName = Text::trimmed(ADOQuery1->fieldText(QStringLiteral("soft_name")));
        s.ComNum = ADOQuery1->fieldInt(QStringLiteral("com_num"));
        s.ComBaud = ADOQuery1->fieldInt(QStringLiteral("com_baud"));
        s.ComDataBit = ADOQuery1->fieldInt(QStringLiteral("com_data_bit"));
        s.ComStopBit = ADOQuery1->fieldInt(QStringLiteral("com_stop_bit"));
        s.ComParity = Text::trimmed(ADOQuery1->fieldText(QStringLiteral("com_parity")));
        s.MonitorPeriod = ADOQuery1->fieldInt(QStringLiteral("moniter_time"));
        s.NodeReadPeriod = ADOQuery1->fieldInt(QStringLiteral("node_read_time"));
        s.PortState = PortState::kClosed;
        ADOQuery1->close();
    }
    m_targets.mainWindow->setWindowTitle(s.SoftwareName);
    m_targets.BitBtn1->setText(Permission::isAdministrator(s.LoggedInPermission)
                                   ? QStringLiteral("用户管理")
                                   : QStringLiteral("修改密码"));
    emit statusTextChanged(1, QStringLiteral("串口未打开"));
    emit statusTextChanged(2, QStringLiteral("未启动监控"));
    emit statusTextChanged(3, QString());
    m_targets.Edit1->setText(QString::number(s.MonitorPeriod));
    if (s.NodeReadPeriod < 100 || s.NodeReadPeriod > 10000)
        s.NodeReadPeriod = 1000;
    m_targets.Edit2->setText(QString::number(s.NodeReadPeriod));
}
