#include "admin/SoftwareNameDialog.h"

#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "store/OperationLog.h"
#include "store/Query.h"
#include "store/SettingsTable.h"
#include "store/StationState.h"
#include "store/Text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

SoftwareNameDialog::SoftwareNameDialog(Connection& connection, Session& session, OperationLog& log)
    : m_session(session), m_log(log)
{
    setObjectName(QStringLiteral("softwareNameDialog"));
    setWindowTitle(QStringLiteral("软件名称"));
    setModal(true);
    setFixedSize(330, 120);

    nameLabel = new QLabel(QStringLiteral("软件名称:"), this);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    nameLabel->setGeometry(20, 27, 64, 17);
    nameEdit = new QLineEdit(this);
    nameEdit->setObjectName(QStringLiteral("nameEdit"));
    nameEdit->setGeometry(88, 24, 222, 23);
    const auto button = [this](const char* name, const QString& caption, int left) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 72, 80, 28);
        b->setAutoDefault(false);
        return b;
    };
    saveButton = button("saveButton", QStringLiteral("保    存"), 64);
    exitButton = button("exitButton", QStringLiteral("退    出"), 186);
    settingsQuery = new Query(connection, this);

    connect(saveButton, &QPushButton::clicked, this, &SoftwareNameDialog::saveName);
    connect(exitButton, &QPushButton::clicked, this, &SoftwareNameDialog::exitDialog);
}

void SoftwareNameDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void SoftwareNameDialog::FormShow()
{
    nameEdit->setText(m_session.SoftwareName);
}

void SoftwareNameDialog::saveName()
{
    guarded([this]() {
        const QString name = Text::trimmed(nameEdit->text());
        if (name.isEmpty()) {
            MessageBox::show(QStringLiteral("软件名称不能为空"), this);
            nameEdit->setFocus();
            return;
        }
        m_log.recordWith(QStringLiteral("修改软件名称"),
                         QStringLiteral("%1 -> %2").arg(m_session.SoftwareName, name),
                         [&]() { SettingsTable(*settingsQuery).storeName(name); });
        m_session.SoftwareName = name;
        emit softwareNameChanged(name);
    });
}

void SoftwareNameDialog::exitDialog()
{
    close();
}
