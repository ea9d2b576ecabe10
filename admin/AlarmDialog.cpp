#include "admin/AlarmDialog.h"

#include "admin/AlarmExport.h"
#include "kit/Centred.h"
#include "kit/ExportFileDialog.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "kit/QueryModel.h"
#include "store/AlarmLogTable.h"
#include "store/Clock.h"
#include "store/AppError.h"
#include "store/OperationLog.h"
#include "store/Query.h"

#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>

namespace {
// The operation log's row of a deletion: how many records, of which times.
OperationLog::Entry deletion(int count, const QString& first, const QString& last)
{
    const QString times = first == last ? first : QStringLiteral("%1 至 %2").arg(first, last);
    return {QStringLiteral("删除告警记录"), QStringLiteral("%1 条，%2").arg(count).arg(times)};
}
} // namespace

AlarmDialog::AlarmDialog(Connection& connection, Query& alarmLog, QueryModel& alarmLogModel,
                         OperationLog& log)
    : m_connection(connection), m_alarmLog(alarmLog), m_log(log)
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
        const QString time = m_alarmLog.fieldText(QStringLiteral("告警时间"));
        m_log.recordWith([&]() {
            AlarmLogTable records(*deleteQuery);
            const int before = records.storedCount();
            records.removeAt(time);
            return deletion(before - records.storedCount(), time, time);
        });
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
        try {
            m_log.recordWith([&]() -> std::optional<OperationLog::Entry> {
                if (count == 0)
                    return std::nullopt;
                const OperationLog::Entry entry = deletion(count, m_alarmLog.value(0, 0).toString(),
                                                           m_alarmLog.value(count - 1, 0).toString());
                for (int i = 0; i < count; ++i)
                    m_alarmLog.deleteCurrent();
                return entry;
            });
        } catch (const AppError&) {
            // The rows held went with the deletions undone: show the table as it is.
            m_alarmLog.close();
            AlarmLogTable(m_alarmLog).openLog();
            throw;
        }
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
