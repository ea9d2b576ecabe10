#include "app/ActiveAlarmPanel.h"

#include "kit/QueryModel.h"
#include "store/AlarmStateTable.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableView>

namespace {
// Columns of AlarmStateTable::openActive.
enum Column { kTime, kState, kText, kDeviceId, kNodeName };
} // namespace

ActiveAlarmPanel::ActiveAlarmPanel(Connection& connection, QWidget* parent)
    : QWidget(parent), m_query(connection), m_model(new QueryModel(m_query, this))
{
    setObjectName(QStringLiteral("activeAlarmPanel"));
    // Two lines fit between the toolbar and the captions; the grid scrolls for more.
    const auto button = [this](const char* name, const QString& text, int top) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(0, top, 70, 17);
        b->setAutoDefault(false);
        return b;
    };
    acknowledgeButton = button("acknowledgeButton", QStringLiteral("确认"), 0);
    acknowledgeAllButton = button("acknowledgeAllButton", QStringLiteral("全部确认"), 17);

    activeAlarmGrid = new QTableView(this);
    activeAlarmGrid->setObjectName(QStringLiteral("activeAlarmGrid"));
    activeAlarmGrid->setGeometry(74, 1, 1095, 32);
    activeAlarmGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    activeAlarmGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    activeAlarmGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    activeAlarmGrid->setModel(m_model);
    activeAlarmGrid->setSelectionModel(m_model->selection());
    activeAlarmGrid->horizontalHeader()->hide();
    activeAlarmGrid->verticalHeader()->hide();
    activeAlarmGrid->verticalHeader()->setMinimumSectionSize(15);
    activeAlarmGrid->verticalHeader()->setDefaultSectionSize(15);
    connect(m_model, &QAbstractItemModel::modelReset, activeAlarmGrid, [this]() {
        activeAlarmGrid->setColumnWidth(kTime, 140);
        activeAlarmGrid->setColumnWidth(kState, 90);
        activeAlarmGrid->setColumnWidth(kText, 840);
        activeAlarmGrid->setColumnHidden(kDeviceId, true);
        activeAlarmGrid->setColumnHidden(kNodeName, true);
    });

    connect(acknowledgeButton, &QPushButton::clicked, this, [this]() {
        if (m_query.isActive() && !m_query.eof()) {
            emit acknowledgeRequested(m_query.fieldInt(QStringLiteral("device_id")),
                                      m_query.fieldText(QStringLiteral("node_name")));
        }
    });
    connect(acknowledgeAllButton, &QPushButton::clicked, this, &ActiveAlarmPanel::acknowledgeAllRequested);
}

void ActiveAlarmPanel::reload()
{
    // The same alarm stays picked when the list is read again.
    const QString picked = m_query.isActive() && !m_query.eof()
                               ? m_query.fieldText(QStringLiteral("device_id")) + QLatin1Char('/') +
                                     m_query.fieldText(QStringLiteral("node_name"))
                               : QString();
    m_query.close();
    AlarmStateTable::openActive(m_query);
    for (int row = 0; row < m_query.recordCount(); ++row) {
        if (m_query.value(row, kDeviceId).toString() + QLatin1Char('/') +
                m_query.value(row, kNodeName).toString() ==
            picked)
            m_query.setRecNo(row);
    }
}

bool ActiveAlarmPanel::unacknowledgedAt(int row) const
{
    return m_query.value(row, kState).toString() != QStringLiteral("告警已确认");
}

int ActiveAlarmPanel::unacknowledgedCount() const
{
    int count = 0;
    for (int row = 0; row < m_query.recordCount(); ++row)
        count += unacknowledgedAt(row) ? 1 : 0;
    return count;
}

QSet<int> ActiveAlarmPanel::unacknowledgedDevices() const
{
    QSet<int> devices;
    for (int row = 0; row < m_query.recordCount(); ++row) {
        if (unacknowledgedAt(row))
            devices.insert(m_query.value(row, kDeviceId).toInt());
    }
    return devices;
}
