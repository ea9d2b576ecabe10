#include "admin/TForm7.h"

#include "admin/AlarmExport.h"
#include "admin/ExportFileDialog.h"
#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "kit/QueryModel.h"
#include "store/Query.h"
#include "store/StatusTexts.h"

#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>

TForm7::TForm7(Connection& connection, Query& alarmLog, QueryModel& DataSource1) : m_connection(connection), m_alarmLog(alarmLog)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("告警记录"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(true);
    setFixedSize(600, 440);

    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(12, 12, 576, 370);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setModel(&DataSource1);
    DBGrid1->setSelectionModel(DataSource1.selection());
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    DBGrid1->verticalHeader()->setDefaultSectionSize(20);
    connect(&DataSource1, &QAbstractItemModel::modelReset, DBGrid1,
            [this]() { DBGrid1->setColumnWidth(0, 140); });

    // The two deletions on the left, the exit on the right: the room between
    // them is kept for further commands.
    const auto button = [this](const char* name, const QString& caption, int left, int width) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 396, width, 28);
        b->setAutoDefault(false);
        return b;
    };
    Button1 = button("Button1", QStringLiteral("册除当前记录"), 12, 110);
    Button2 = button("Button2", QStringLiteral("删除所有"), 134, 90);
    Button3 = button("Button3", QStringLiteral("退出"), 498, 90);
    Button4 = button("Button4", QStringLiteral("导出"), 236, 90);
    ADOQuery1 = new Query(connection, this);

    connect(Button1, &QPushButton::clicked, this, &TForm7::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm7::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm7::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm7::Button4Click);
}

void TForm7::showEvent(QShowEvent* event)
{
    // Nothing else happens at showing: the grid shows the log as it is.
    if (!event->spontaneous())
        centreOnScreen(*this);
    QDialog::showEvent(event);
}

void TForm7::Button1Click()
{
    guarded([this]() {
        // With no record there is no alarm time to delete by.
        if (m_alarmLog.eof())
            return;
        ADOQuery1->close();
        ADOQuery1->setSql(QStringLiteral("Delete from alarm_record where (告警时间=:告警时间) "));
        // Alarm times are stored to the second in their display form, so the
        // text shown in the grid finds the record (and any of the same second).
        ADOQuery1->setText(QStringLiteral("告警时间"), m_alarmLog.fieldText(QStringLiteral("告警时间")));
        ADOQuery1->execSql();
        ADOQuery1->close();
        m_alarmLog.close();
        m_alarmLog.open();
    });
}

void TForm7::Button2Click()
{
    guarded([this]() {
        m_alarmLog.close();
        m_alarmLog.setSql(StatusTexts::kAlarmLogSql);
        m_alarmLog.open();
        m_alarmLog.first();
        // Each deletion makes the next row current, so N deletions take all N
        // rows, and both grids end empty.
        const int count = m_alarmLog.recordCount();
        for (int i = 0; i < count; ++i)
            m_alarmLog.deleteCurrent();
    });
}

void TForm7::Button3Click()
{
    close();
}

void TForm7::Button4Click()
{
    const QString path = ExportFileDialog::askPath(this);
    if (path.isEmpty())
        return;
    const AlarmExport::Outcome outcome = AlarmExport::write(m_connection, path);
    if (outcome.written)
        MessageBox::show(outcome.message, this);
    else
        MessageBox::error(outcome.message, this);
}
