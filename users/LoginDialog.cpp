#include "users/LoginDialog.h"

#include "kit/Guarded.h"
#include "store/AccountTable.h"
#include "store/FixedTexts.h"
#include "store/OperationLog.h"
#include "store/Permission.h"
#include "store/Query.h"
#include "store/SettingsTable.h"
#include "store/StationState.h"
#include "store/Text.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

LoginDialog::LoginDialog(Connection& connection, Session& session, LineSettings& line, PollState& poll,
                         OperationLog& log)
    : m_session(session), m_line(line), m_poll(poll), m_log(log)
{
    setObjectName(QStringLiteral("loginDialog"));
    setWindowTitle(QStringLiteral("用户登陆"));
    setFixedSize(239, 198);
    setModal(true);

    userLabel = new QLabel(QStringLiteral("用户名"), this);
    userLabel->setObjectName(QStringLiteral("userLabel"));
    userLabel->setGeometry(24, 28, 60, 17);
    userEdit = new QLineEdit(this);
    userEdit->setObjectName(QStringLiteral("userEdit"));
    userEdit->setGeometry(88, 24, 121, 21);
    passwordLabel = new QLabel(QStringLiteral("密    码"), this);
    passwordLabel->setObjectName(QStringLiteral("passwordLabel"));
    passwordLabel->setGeometry(24, 68, 60, 17);
    passwordEdit = new QLineEdit(this);
    passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    passwordEdit->setGeometry(88, 64, 121, 21);
    loginButton = new QPushButton(QStringLiteral("登陆"), this);
    loginButton->setObjectName(QStringLiteral("loginButton"));
    loginButton->setGeometry(32, 112, 75, 25);
    loginButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("取消"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setGeometry(132, 112, 75, 25);
    cancelButton->setAutoDefault(false);
    hintLabel = new QLabel(QStringLiteral("登陆提示！"), this);
    hintLabel->setObjectName(QStringLiteral("hintLabel"));
    hintLabel->setGeometry(24, 152, 190, 17);
    hintLabel->setStyleSheet(QStringLiteral("color: red;"));
    loginQuery = new Query(connection, this);

    connect(loginButton, &QPushButton::clicked, this, &LoginDialog::logIn);
    connect(cancelButton, &QPushButton::clicked, this, &LoginDialog::cancelLogin);
}

void LoginDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void LoginDialog::FormShow()
{
    hintLabel->setText(QString());
}

void LoginDialog::logIn()
{
    guarded([this]() {
        hintLabel->setText(QString());
        const QString user = Text::trimmed(userEdit->text());
        const QString password = Text::trimmed(passwordEdit->text());
        if (user.isEmpty()) {
            hintLabel->setText(QStringLiteral("用户名不能为空！"));
            userEdit->setFocus();
            return;
        }
        if (password.isEmpty()) {
            hintLabel->setText(QStringLiteral("密码不能为空！"));
            passwordEdit->setFocus();
            return;
        }
        AccountTable(*loginQuery).openLogin(user, password);
        if (loginQuery->recordCount() >= 1) {
            loginQuery->first();
            // Nobody is let in unseen: without its row the log-in fails.
            m_log.recordAs(user, QStringLiteral("登录"),
                           Text::trimmed(loginQuery->fieldText(QStringLiteral("权限"))));
            Session& s = m_session;
            s.LoggedInUser = Text::trimmed(loginQuery->fieldText(QStringLiteral("用户名")));
            s.LoggedInPassword = Text::trimmed(loginQuery->fieldText(QStringLiteral("密码")));
            s.LoggedInPermission = Text::trimmed(loginQuery->fieldText(QStringLiteral("权限")));
            emit statusTextChanged(StatusPanel::kUser,
                                   s.LoggedInPermission + QStringLiteral(":") + s.LoggedInUser);
            loginQuery->close();
            close();
        } else {
            hintLabel->setText(QStringLiteral("用户或密码错误！"));
            m_log.recordAs(user, QStringLiteral("登录失败"), QStringLiteral("用户或密码错误"));
        }
    });
}

void LoginDialog::cancelLogin()
{
    // Ends the program without applying anything.
    m_quitRequested = true;
    QDialog::done(QDialog::Rejected);
}

void LoginDialog::reject()
{
    close();
}

void LoginDialog::closeEvent(QCloseEvent* event)
{
    if (!guarded([this]() { FormClose(); })) {
        event->ignore();
        return;
    }
    event->accept();
    QDialog::done(m_session.LoggedInUser.isEmpty() ? QDialog::Rejected : QDialog::Accepted);
}

void LoginDialog::FormClose()
{
    Session& s = m_session;
    if (s.LoggedInUser.isEmpty())
        m_quitRequested = true; // closed without a login: apply, then end
    if (const std::optional<StoredSettings> stored = SettingsTable(*loginQuery).read()) {
        s.SoftwareName = stored->softwareName;
        m_line.ComNum = stored->comNum;
        m_line.ComBaud = stored->comBaud;
        m_line.ComDataBit = stored->comDataBit;
        m_line.ComStopBit = stored->comStopBit;
        m_line.ComParity = stored->comParity;
        m_poll.MonitorPeriod = stored->monitorPeriod;
        m_poll.NodeReadPeriod = stored->nodeReadPeriod;
    } else {
        s.SoftwareName = QStringLiteral("监控软件");
    }
    m_line.PortState = PortState::kClosed;
    emit statusTextChanged(StatusPanel::kPort, QStringLiteral("串口未打开"));
    emit statusTextChanged(StatusPanel::kMonitoring, QStringLiteral("未启动监控"));
    emit statusTextChanged(StatusPanel::kCountdown, QString());
    if (m_poll.NodeReadPeriod < 100 || m_poll.NodeReadPeriod > 10000)
        m_poll.NodeReadPeriod = 1000;
    emit settingsLoaded(s.SoftwareName, Permission::isAdministrator(s.LoggedInPermission),
                        m_poll.MonitorPeriod, m_poll.NodeReadPeriod);
}
