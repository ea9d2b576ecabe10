#pragma once

#include <QList>
#include <QString>

// The device addresses in node_record of the program's database. Read again
// whenever asked, so that devices added while the simulator runs are found.
class DeviceTable final
{
public:
    explicit DeviceTable(const QString& file);
    ~DeviceTable();
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;

    const QString& file() const { return m_file; }
    // Every distinct device_id, bus address or not; false with the reason
    // when the table cannot be read.
    bool read(QList<int>* addresses, QString* error) const;

private:
    const QString m_file;
    const QString m_connection;
};
