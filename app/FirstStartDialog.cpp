#include "app/FirstStartDialog.h"

#include "kit/Centred.h"
#include "store/AppError.h"
#include "store/Connection.h"
#include "store/StationFile.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLineEdit* addEntry(QFormLayout& form, const QString& label, const char* name, bool secret)
{
    auto* entry = new QLineEdit;
    entry->setObjectName(QString::fromLatin1(name));
    if (secret)
        entry->setEchoMode(QLineEdit::Password);
    form.addRow(label, entry);
    return entry;
}
} // namespace

FirstStartDialog::FirstStartDialog(const DatabaseSearch& search, QWidget* parent)
    : QDialog(parent), m_path(search.path)
{
    setObjectName(QStringLiteral("firstStartDialog"));
    setWindowTitle(QStringLiteral("spdmon — 新建站点数据库 (new station database)"));

    auto* layout = new QVBoxLayout(this);
    auto* where = new QLabel(
        QStringLiteral("未找到数据库文件 (no database file found). 查找位置 (looked at):\n  %1\n\n"
                       "是否在此创建站点数据库 (create a station database here)?\n  %2")
            .arg(search.lookedAt.join(QStringLiteral("\n  ")), m_path));
    where->setObjectName(QStringLiteral("whereLabel"));
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(where);

    auto* form = new QFormLayout;
    m_administrator = addEntry(*form, QStringLiteral("管理员 (administrator)"), "administratorEdit", false);
    m_password = addEntry(*form, QStringLiteral("密码 (password)"), "passwordEdit", true);
    m_passwordAgain = addEntry(*form, QStringLiteral("确认密码 (password again)"), "passwordAgainEdit", true);
    layout->addLayout(form);

    m_problem = new QLabel;
    m_problem->setObjectName(QStringLiteral("problemLabel"));
    m_problem->setStyleSheet(QStringLiteral("color: red;"));
    m_problem->setWordWrap(true);
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse); // the command it suggests can be copied
    layout->addWidget(m_problem);

    auto* buttons = new QDialogButtonBox;
    QPushButton* create = buttons->addButton(QStringLiteral("创建 (Create)"), QDialogButtonBox::AcceptRole);
    create->setObjectName(QStringLiteral("createButton"));
    create->setDefault(true);
    buttons->addButton(QStringLiteral("退出 (Quit)"), QDialogButtonBox::RejectRole)
        ->setObjectName(QStringLiteral("quitButton"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &FirstStartDialog::createStation);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    adjustSize();
    centreOnScreen(*this);
}

void FirstStartDialog::showProblem(const QString& text)
{
    m_problem->setText(text);
    // The window grows to the wrapped lines: the layout alone keeps its height
    // and squeezes them into each other.
    adjustSize();
}

void FirstStartDialog::createStation()
{
    const QString problem =
        newStationEntryProblem(m_administrator->text(), m_password->text(), m_passwordAgain->text());
    if (!problem.isEmpty()) {
        showProblem(problem);
        return;
    }
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        showProblem(QStringLiteral("无法创建文件夹 (cannot create the folder) %1")
                        .arg(QFileInfo(m_path).absolutePath()));
        return;
    }
    try {
        Connection connection(QStringLiteral("firstStart"));
        StationFile::create(connection, m_path, m_administrator->text(), m_password->text());
    } catch (const AppError& e) {
        showProblem(e.text());
        return;
    }
    accept();
}
