#pragma once

#include "monitor/BusCounters.h"

#include <QDialog>
#include <QHash>

class QPushButton;
class QStandardItem;
class QStandardItemModel;
class QTableView;

// 通信诊断: how each device on the bus has answered since monitoring
// started, one row per device, sortable by any column. It keeps what the
// counters last said, shown or not, and asks for a reset by signal.
class BusDiagnosticsDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit BusDiagnosticsDialog(QWidget* parent = nullptr);

    QTableView* countersGrid;
    QPushButton* resetButton;

    // What the counters last said of the device; zero counts when nothing.
    DeviceCounters counters(int deviceId) const { return m_counters.value(deviceId); }

public slots:
    void showCounters(const DeviceCounters& counters);
    void clear();

signals:
    void resetRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QStandardItemModel* m_model;
    QHash<int, DeviceCounters> m_counters;
    QHash<int, QStandardItem*> m_deviceItems; // the address cell of each device's row
};
