#include "admin/TForm8.h"

#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "store/MainState.h"
#include "store/Query.h"
#include "store/Text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

TForm8::TForm8(Connection& connection, MainState& state) : m_state(state)
{
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("软件名称"));
    setModal(true);
    setFixedSize(330, 120);

    StaticText1 = new QLabel(QStringLiteral("软件名称:"), this);
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setGeometry(20, 27, 64, 17);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(88, 24, 222, 23);
    const auto button = [this](const char* name, const QString& caption, int left) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 72, 80, 28);
        b->setAutoDefault(false);
        return b;
    };
    BitBtn1 = button("BitBtn1", QStringLiteral("保    存"), 64);
    BitBtn2 = button("BitBtn2", QStringLiteral("退    出"), 186);
    ADOQuery1 = new Query(connection, this);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm8::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm8::BitBtn2Click);
}

void TForm8::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(event);
}

void TForm8::FormShow()
{
    Edit1->setText(m_state.SoftwareName);
}

void TForm8::BitBtn1Click()
{
    guarded([this]() {
        const QString name = Text::trimmed(Edit1->text());
        if (name.isEmpty()) {
            MessageBox::show(QStringLiteral("软件名称不能为空"), this);
            Edit1->setFocus();
            return;
        }
        ADOQuery1->close();
        ADOQuery1->setSql(QStringLiteral("select * from soft_record "));
        ADOQuery1->open();
        // The first row, or a new row holding only the name when there is none.
        ADOQuery1->edit();
        ADOQuery1->setField(QStringLiteral("soft_name"), name);
        ADOQuery1->post();
        ADOQuery1->close();
        m_state.SoftwareName = name;
        emit softwareNameChanged(name);
    });
}

void TForm8::BitBtn2Click()
{
    close();
}
