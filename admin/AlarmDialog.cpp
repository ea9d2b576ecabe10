#include "admin/AlarmDialog.h"

#include "admin/AlarmExport.h"
#include "kit/Centred.h"
#include "kit/ExportFileDialog.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "kit/QueryModel.h"
#include "store/AlarmLogTable.h"
#include "store/Clock.h"
#include "store/Query.h"

#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>

AlarmDialog::AlarmDialog(Connection& connection, Query& alarmLog, QueryModel& alarmLogModel)
    : m_connection(connection), m_alarmLog(alarmLog)
{
    setObjectName(QStringLiteral("alarmDialog"));
    setWindowTitle(QStringLiteral("告警记录"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(true);
    setFixedSize(600, 440);

    recordGrid = new QTableView(this);
    recordGrid->setObjectName(QStringLiteral("recordGrid"));
    recordGrid->setGeometry(12, 12, 576, 370);
    recordGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    recordGrid->setModel(&alarmLogModel);
    recordGrid->setSelectionModel(alarmLogModel.selection());
    recordGrid->horizontalHeader()->setStretchLastSection(true);
    recordGrid->verticalHeader()->setDefaultSectionSize(20);
    connect(&alarmLogModel, &QAbstractItemModel::modelReset, recordGrid,
            [this]() { recordGrid->setColumnWidth(0, 140); });

    // The two deletions on the left, the exit on the right: the room between
    // them is kept for further commands.
    const auto button = [this](const char* name, const QString& caption, int left, int width) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 396, width, 28);
        b->setAutoDefault(false);
        return b;
    };
    deleteButton = button("deleteButton", QStringLiteral("册除当前记录"), 12, 110);
    deleteAllButton = button("deleteAllButton", QStringLiteral("删除所有"), 134, 90);
    exitButton = button("exitButton", QStringLiteral("退出"), 498, 90);
    exportButton = button("exportButton", QStringLiteral("导出"), 236, 90);
    deleteQuery = new Query(connection, this);

    connect(deleteButton, &QPushButton::clicked, this, &AlarmDialog::deleteRecord);
    connect(deleteAllButton, &QPushButton::clicked, this, &AlarmDialog::deleteAll);
    connect(exitButton, &QPushButton::clicked, this, &AlarmDialog::exitDialog);
    connect(exportButton, &QPushButton::clicked, this, &AlarmDialog::exportLog);
}

void AlarmDialog::showEvent(QShowEvent* event)
{
    // Nothing else happens at showing: the grid shows the log as it is.
    if (!event->spontaneous())
        centreOnScreen(*this);
    QDialog::showEvent(event);
}

void AlarmDialog::deleteRecord()
{
    guarded([this]() {
        // With no record there is no alarm time to delete by.
        if (m_alarmLog.eof())
            return;
        AlarmLogTable(*deleteQuery).removeAt(m_alarmLog.fieldText(QStringLiteral("告警时间")));
        m_alarmLog.close();
        m_alarmLog.open();
    });
}

void AlarmDialog::deleteAll()
{
    guarded([this]() {
        m_alarmLog.close();
        AlarmLogTable(m_alarmLog).openLog();
        m_alarmLog.first();
        // Each deletion makes the next row current, so N deletions take all N
        // rows, and both grids end empty.
        const int count = m_alarmLog.recordCount();
        for (int i = 0; i < count; ++i)
            m_alarmLog.deleteCurrent();
    });
}

void AlarmDialog::exitDialog()
{
    close();
}

void AlarmDialog::exportLog()
{
    const QString path =
        ExportFileDialog(QStringLiteral("导出告警记录"), AlarmExport::defaultPath(Clock::now()), this).exec();
    if (path.isEmpty())
        return;
    const AlarmExport::Outcome outcome = AlarmExport::write(m_connection, path);
    if (outcome.written)
        MessageBox::show(outcome.message, this);
    else
        MessageBox::error(outcome.message, this);
}
