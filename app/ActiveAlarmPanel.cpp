#include "app/ActiveAlarmPanel.h"

#include "kit/QueryModel.h"
#include "store/AlarmStateTable.h"

#include <QHeaderView>
#include <QItemSelectionModel>
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
    // A selection of its own, not the query's current row: a row is picked
    // only by the operator, never by the list being read again.
    activeAlarmGrid->setModel(m_model);
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
        if (const std::optional<AlarmOccurrence> occurrence = picked())
            emit acknowledgeRequested(*occurrence);
    });
    connect(acknowledgeAllButton, &QPushButton::clicked, this, [this]() {
        QVector<AlarmOccurrence> listed;
        for (int row = 0; row < m_query.recordCount(); ++row)
            listed << occurrenceAt(row);
        emit acknowledgeAllRequested(listed);
    });
}

void ActiveAlarmPanel::reload()
{
    // The alarm picked stays picked while it is the same raising; the newest
    // comes into view, above it.
    const std::optional<AlarmOccurrence> before = picked();
    m_query.close();
    AlarmStateTable::openActive(m_query);
    QItemSelectionModel* selection = activeAlarmGrid->selectionModel();
    selection->clear();
    for (int row = 0; before && row < m_query.recordCount(); ++row) {
        if (occurrenceAt(row) == *before)
            selection->select(m_model->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    activeAlarmGrid->scrollToTop();
}

AlarmOccurrence ActiveAlarmPanel::occurrenceAt(int row) const
{
    return {{m_query.value(row, kDeviceId).toInt(), m_query.value(row, kNodeName).toString()},
            m_query.value(row, kTime).toString()};
}

std::optional<AlarmOccurrence> ActiveAlarmPanel::picked() const
{
    const QModelIndexList rows = activeAlarmGrid->selectionModel()->selectedRows();
    if (rows.isEmpty() || !m_query.isActive())
        return std::nullopt;
    return occurrenceAt(rows.first().row());
}

QVector<AlarmOccurrence> ActiveAlarmPanel::unacknowledged() const
{
    QVector<AlarmOccurrence> occurrences;
    for (int row = 0; row < m_query.recordCount(); ++row) {
        if (unacknowledgedAt(row))
            occurrences << occurrenceAt(row);
    }
    return occurrences;
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
