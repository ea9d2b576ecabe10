#include "history/HistoryWindow.h"

#include "display/RemainingLife.h"
#include "kit/CsvFile.h"
#include "kit/ExportFileDialog.h"
#include "kit/Guarded.h"
#include "kit/MessageBox.h"
#include "store/Clock.h"
#include "store/NodeTable.h"
#include "store/Query.h"
#include "store/SurgeLogTable.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QValueAxis>
#include <algorithm>

namespace {
QTableWidget* makeGrid(const char* name, const QStringList& header, QWidget* parent)
{
    auto* grid = new QTableWidget(0, int(header.size()), parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setHorizontalHeaderLabels(header);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->verticalHeader()->setVisible(false);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->horizontalHeader()->setDefaultSectionSize(72);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

void fillGrid(QTableWidget* grid, const QVector<QStringList>& rows)
{
    grid->setRowCount(0);
    grid->setRowCount(int(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < rows.at(row).size(); ++column)
            grid->setItem(row, column, new QTableWidgetItem(rows.at(row).at(column)));
    }
}
} // namespace

HistoryWindow::HistoryWindow(Connection& connection, QWidget* parent)
    : QDialog(parent), m_connection(connection), m_query(new Query(connection, this))
{
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(QStringLiteral("浪涌记录"));
    resize(1100, 720);

    deviceCombo = new QComboBox(this);
    deviceCombo->setObjectName(QStringLiteral("deviceCombo"));
    deviceCombo->setMinimumWidth(160);
    spanCombo = new QComboBox(this);
    spanCombo->setObjectName(QStringLiteral("spanCombo"));
    spanCombo->addItems({QStringLiteral("日"), QStringLiteral("周"), QStringLiteral("月"),
                         QStringLiteral("年"), QStringLiteral("自定义")});
    spanCombo->setCurrentIndex(int(SurgeHistory::Span::Month));
    const auto dateEdit = [this](const char* name) {
        auto* edit = new QDateEdit(Clock::now().date(), this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        edit->setDateRange(SurgeHistory::kFirstDay, SurgeHistory::kLastDay);
        edit->setEnabled(false);
        return edit;
    };
    firstDayEdit = dateEdit("firstDayEdit");
    lastDayEdit = dateEdit("lastDayEdit");
    queryButton = new QPushButton(QStringLiteral("查询"), this);
    queryButton->setObjectName(QStringLiteral("queryButton"));
    exportButton = new QPushButton(QStringLiteral("导出"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    for (QPushButton* button : {queryButton, exportButton})
        button->setAutoDefault(false);
    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summaryLabel"));

    chartView = new QChartView(this);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setMinimumHeight(300);
    eventGrid = makeGrid("eventGrid", SurgeHistory::eventHeader(), this);
    eventGrid->setColumnWidth(0, 140);
    totalsGrid =
        makeGrid("totalsGrid",
                 {QStringLiteral("设备地址"), QStringLiteral("设备名称"), QStringLiteral("浪涌次数"),
                  QStringLiteral("事件数"), QStringLiteral("近30天浪涌"), QStringLiteral("剩余寿命")},
                 this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("设备:"), this));
    controls->addWidget(deviceCombo);
    controls->addWidget(new QLabel(QStringLiteral("时段:"), this));
    controls->addWidget(spanCombo);
    controls->addWidget(firstDayEdit);
    controls->addWidget(new QLabel(QStringLiteral("至"), this));
    controls->addWidget(lastDayEdit);
    controls->addWidget(queryButton);
    controls->addWidget(exportButton);
    controls->addStretch();
    auto* layout = new QGridLayout(this);
    layout->addLayout(controls, 0, 0, 1, 2);
    layout->addWidget(summaryLabel, 1, 0, 1, 2);
    layout->addWidget(chartView, 2, 0, 1, 2);
    layout->addWidget(eventGrid, 3, 0);
    layout->addWidget(totalsGrid, 3, 1);
    layout->setRowStretch(2, 3);
    layout->setRowStretch(3, 2);
    layout->setColumnStretch(0, 3);
    layout->setColumnStretch(1, 2);

    connect(spanCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        const bool custom = index == int(SurgeHistory::Span::Custom);
        firstDayEdit->setEnabled(custom);
        lastDayEdit->setEnabled(custom);
        guarded([this]() { showPeriod(); });
    });
    for (QDateEdit* edit : {firstDayEdit, lastDayEdit})
        connect(edit, &QDateEdit::dateChanged, this, [this]() { guarded([this]() { showPeriod(); }); });
    connect(deviceCombo, &QComboBox::activated, this, [this]() { guarded([this]() { showPeriod(); }); });
    connect(queryButton, &QPushButton::clicked, this, [this]() { guarded([this]() { reload(); }); });
    connect(exportButton, &QPushButton::clicked, this, &HistoryWindow::exportEvents);
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    guarded([this]() { reload(); });
}

int HistoryWindow::shownDevice() const
{
    return deviceCombo->currentData().toInt();
}

void HistoryWindow::reload()
{
    fillDevices();
    showPeriod();
}

// Every device of the node table, the one picked staying picked.
void HistoryWindow::fillDevices()
{
    const int picked = shownDevice();
    deviceCombo->clear();
    deviceCombo->addItem(QStringLiteral("全部设备"), 0);
    NodeTable(*m_query).openAll();
    int previous = 0;
    for (m_query->first(); !m_query->eof(); m_query->next()) {
        const int id = m_query->fieldInt(QStringLiteral("device_id"));
        if (id == previous)
            continue;
        previous = id;
        deviceCombo->addItem(
            QStringLiteral("%1[%2]").arg(m_query->fieldText(QStringLiteral("device_name"))).arg(id), id);
    }
    deviceCombo->setCurrentIndex(qMax(0, deviceCombo->findData(picked)));
}

void HistoryWindow::showPeriod()
{
    m_period = SurgeHistory::period(SurgeHistory::Span(spanCombo->currentIndex()), Clock::now().date(),
                                    firstDayEdit->date(), lastDayEdit->date());
    const int device = shownDevice();
    const QVector<SurgeHistory::Bar> bars = SurgeHistory::bars(*m_query, m_period, device);
    showChart(bars);
    fillGrid(eventGrid, SurgeHistory::events(*m_query, m_period, device, kShownEvents));
    showTotals();
    int surges = 0;
    for (const SurgeHistory::Bar& bar : bars)
        surges += bar.surges;
    summaryLabel->setText(QStringLiteral("%1 至 %2 共 %3 次浪涌（表中最多显示最近 %4 条事件）")
                              .arg(m_period.first.toString(QStringLiteral("yyyy-MM-dd")),
                                   m_period.end.addDays(-1).toString(QStringLiteral("yyyy-MM-dd")))
                              .arg(surges)
                              .arg(kShownEvents));
}

void HistoryWindow::showChart(const QVector<SurgeHistory::Bar>& bars)
{
    auto* set = new QBarSet(QStringLiteral("浪涌次数"));
    QStringList labels;
    int highest = 0;
    for (const SurgeHistory::Bar& bar : bars) {
        *set << bar.surges;
        labels << bar.label;
        highest = qMax(highest, bar.surges);
    }
    auto* series = new QBarSeries;
    series->append(set);
    auto* chart = new QChart;
    chart->addSeries(series);
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* axisX = new QBarCategoryAxis;
    axisX->append(labels);
    axisX->setLabelsAngle(labels.size() > 12 ? -90 : 0);
    chart->addAxis(axisX, Qt::AlignBottom);
    series->attachAxis(axisX);
    auto* axisY = new QValueAxis;
    axisY->setRange(0, qMax(highest, 1));
    axisY->applyNiceNumbers();
    axisY->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(axisY, Qt::AlignLeft);
    series->attachAxis(axisY);
    QChart* old = chartView->chart();
    chartView->setChart(chart);
    delete old;
}

// The surges of the last 30 days and the remaining life beside the period's
// totals: a device that ages fast stands out.
void HistoryWindow::showTotals()
{
    const QDateTime now = Clock::now();
    const QHash<int, int> recent = SurgeLogTable(*m_query).lastThirtyDays(now);
    // Names and installation as the node table has them now; a device
    // removed since keeps its events under its address.
    QHash<int, QPair<QString, QDateTime>> devices;
    NodeTable(*m_query).openAll();
    for (m_query->first(); !m_query->eof(); m_query->next())
        devices.insert(m_query->fieldInt(QStringLiteral("device_id")),
                       {m_query->fieldText(QStringLiteral("device_name")),
                        m_query->fieldDateTime(QStringLiteral("install_date"))});
    QVector<QStringList> rows;
    for (const SurgeHistory::DeviceTotal& total : SurgeHistory::totals(*m_query, m_period, shownDevice())) {
        const auto device = devices.constFind(total.deviceId);
        const bool known = device != devices.constEnd();
        rows.append({QString::number(total.deviceId), known ? device->first : QString(),
                     QString::number(total.surges), QString::number(total.events),
                     QString::number(recent.value(total.deviceId)),
                     known ? QString::number(RemainingLife::percent(device->second, now)) + QLatin1Char('%')
                           : QStringLiteral("---")});
    }
    fillGrid(totalsGrid, rows);
}

void HistoryWindow::exportEvents()
{
    const QString suggested = QDir::home().filePath(
        QStringLiteral("浪涌记录-%1.csv").arg(Clock::now().toString(QStringLiteral("yyyyMMdd-hhmmss"))));
    const QString path = ExportFileDialog(QStringLiteral("导出浪涌记录"), suggested, this).exec();
    if (path.isEmpty())
        return;
    guarded([this, &path]() {
        // Oldest first, as the alarm and operation-log exports are.
        QVector<QStringList> rows = SurgeHistory::events(*m_query, m_period, shownDevice(), -1);
        std::reverse(rows.begin(), rows.end());
        QString text = CsvFile::line(SurgeHistory::eventHeader());
        for (const QStringList& row : rows)
            text += CsvFile::line(row);
        if (const std::optional<QString> reason = CsvFile::write(m_connection, path, text))
            MessageBox::error(QStringLiteral("导出浪涌记录失败，文件 \"%1\" 未写入：%2").arg(path, *reason),
                              this);
        else
            MessageBox::show(QStringLiteral("导出浪涌记录成功，共 %1 条记录，已写入文件 \"%2\"")
                                 .arg(rows.size())
                                 .arg(path),
                             this);
    });
}
