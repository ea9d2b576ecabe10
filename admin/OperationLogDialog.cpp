#include "admin/OperationLogDialog.h"

#include "admin/AlarmExport.h"
#include "kit/ExportFileDialog.h"
#include "store/Clock.h"
#include "kit/Centred.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "kit/QueryModel.h"
#include "store/OperationLogTable.h"
#include "store/Query.h"

#include <QHeaderView>
#include <QPushButton>
#include <QShowEvent>
#include <QTableView>

namespace {
const QString kLogName = QStringLiteral("操作日志");
}

OperationLogDialog::OperationLogDialog(Connection& connection) : m_connection(connection)
{
    setObjectName(QStringLiteral("operationLogDialog"));
    setWindowTitle(kLogName);
    setModal(true);
    setFixedSize(700, 440);

    m_logQuery = new Query(connection, this);
    m_logModel = new QueryModel(*m_logQuery, this);
    logGrid = new QTableView(this);
    logGrid->setObjectName(QStringLiteral("logGrid"));
    logGrid->setGeometry(12, 12, 676, 370);
    logGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    logGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    logGrid->setModel(m_logModel);
    logGrid->setSelectionModel(m_logModel->selection());
    logGrid->horizontalHeader()->setStretchLastSection(true);
    logGrid->verticalHeader()->setDefaultSectionSize(20);
    connect(m_logModel, &QAbstractItemModel::modelReset, logGrid,
            [this]() { logGrid->setColumnWidth(0, 140); });

    exportButton = new QPushButton(QStringLiteral("导出"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    exportButton->setGeometry(12, 396, 90, 28);
    exportButton->setAutoDefault(false);
    exitButton = new QPushButton(QStringLiteral("退出"), this);
    exitButton->setObjectName(QStringLiteral("exitButton"));
    exitButton->setGeometry(598, 396, 90, 28);
    exitButton->setAutoDefault(false);
    connect(exportButton, &QPushButton::clicked, this, &OperationLogDialog::exportLog);
    connect(exitButton, &QPushButton::clicked, this, &QDialog::close);
}

void OperationLogDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        centreOnScreen(*this);
        guarded([this]() {
            m_logQuery->close();
            OperationLogTable(*m_logQuery).openLog();
        });
    }
    QDialog::showEvent(event);
}

void OperationLogDialog::exportLog()
{
    const QString path = ExportFileDialog(QStringLiteral("导出") + kLogName,
                                              AlarmExport::defaultPath(Clock::now(), kLogName), this)
                                 .exec();
    if (path.isEmpty())
        return;
    const AlarmExport::Outcome outcome = AlarmExport::write(
        m_connection, path, kLogName, [](Query& query) { OperationLogTable(query).openLog(); });
    if (outcome.written)
        MessageBox::show(outcome.message, this);
    else
        MessageBox::error(outcome.message, this);
}
