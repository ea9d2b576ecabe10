#include "monitor/BusDiagnosticsDialog.h"

#include "store/Text.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {
enum Column {
    kDevice,
    kRequests,
    kGood,
    kNoReply,
    kBad,
    kException,
    kLast,
    kMin,
    kMean,
    kMax,
    kLastGood,
    kFailures,
    kReading
};

// Numbers as numbers, so that a column sorts by value; "-" for none yet.
QStandardItem* cell(const QVariant& value)
{
    auto* item = new QStandardItem;
    item->setData(value, Qt::DisplayRole);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QVariant milliseconds(double value)
{
    return value < 0 ? QVariant(QStringLiteral("-")) : QVariant(qRound(value * 10) / 10.0);
}
} // namespace

BusDiagnosticsDialog::BusDiagnosticsDialog(QWidget* parent)
    : QDialog(parent), countersGrid(new QTableView(this)),
      resetButton(new QPushButton(QStringLiteral("清零"), this)),
      m_model(new QStandardItemModel(0, kReading + 1, this))
{
    setObjectName(QStringLiteral("busDiagnosticsDialog"));
    setWindowTitle(QStringLiteral("通信诊断"));
    resize(1040, 300);
    m_model->setHorizontalHeaderLabels(
        {QStringLiteral("设备地址"), QStringLiteral("请求"), QStringLiteral("正常应答"),
         QStringLiteral("无应答"), QStringLiteral("错误应答"), QStringLiteral("异常应答"),
         QStringLiteral("最近(ms)"), QStringLiteral("最小(ms)"), QStringLiteral("平均(ms)"),
         QStringLiteral("最大(ms)"), QStringLiteral("最近正常应答"), QStringLiteral("连续失败"),
         QStringLiteral("读取方式")});
    countersGrid->setObjectName(QStringLiteral("countersGrid"));
    countersGrid->setModel(m_model);
    countersGrid->setSortingEnabled(true);
    countersGrid->sortByColumn(kDevice, Qt::AscendingOrder);
    countersGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    countersGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    countersGrid->verticalHeader()->hide();
    countersGrid->verticalHeader()->setDefaultSectionSize(20);
    resetButton->setObjectName(QStringLiteral("resetButton"));
    resetButton->setAutoDefault(false);
    connect(resetButton, &QPushButton::clicked, this, &BusDiagnosticsDialog::resetRequested);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(countersGrid);
    layout->addWidget(resetButton, 0, Qt::AlignRight);
}

// The last column says that line mode reads the device node by node: it
// refused to read several registers in one request.
void BusDiagnosticsDialog::showCounters(const DeviceCounters& counters)
{
    m_counters.insert(counters.deviceId, counters);
    const QList<QVariant> values{counters.deviceId,
                                 counters.requests,
                                 counters.good,
                                 counters.noReply,
                                 counters.badReply,
                                 counters.exceptionReply,
                                 milliseconds(counters.lastMs),
                                 milliseconds(counters.minMs),
                                 milliseconds(counters.meanMs()),
                                 milliseconds(counters.maxMs),
                                 counters.lastGood.isNull() ? QStringLiteral("-")
                                                            : Text::dateTimeText(counters.lastGood),
                                 counters.consecutiveFailures,
                                 counters.rangesRefused ? QStringLiteral("逐点读取") : QString()};
    QStandardItem*& device = m_deviceItems[counters.deviceId];
    if (!device) {
        QList<QStandardItem*> row;
        for (const QVariant& value : values)
            row << cell(value);
        device = row.first();
        m_model->appendRow(row);
        return;
    }
    // Found by its item: the operator's sorting moves the rows.
    const int row = device->row();
    for (int column = kRequests; column < values.size(); ++column)
        m_model->item(row, column)->setData(values.at(column), Qt::DisplayRole);
}

void BusDiagnosticsDialog::clear()
{
    m_counters.clear();
    m_deviceItems.clear();
    m_model->removeRows(0, m_model->rowCount());
}

// Fitting the columns to their contents measures every row after each
// change: only while the window is seen, so that a hidden one costs a poll
// step nothing however many devices the bus has.
void BusDiagnosticsDialog::showEvent(QShowEvent* event)
{
    countersGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    QDialog::showEvent(event);
}

void BusDiagnosticsDialog::hideEvent(QHideEvent* event)
{
    countersGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    QDialog::hideEvent(event);
}
