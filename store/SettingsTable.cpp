#include "store/SettingsTable.h"

#include "store/Query.h"
#include "store/Text.h"

namespace {
// The login reads without the trailing blank the writers have always used.
const QString kReadSql = QStringLiteral("select * from soft_record");
const QString kWriteSql = QStringLiteral("select * from soft_record ");
} // namespace

std::optional<StoredSettings> SettingsTable::read()
{
    m_query.close();
    m_query.setSql(kReadSql);
    m_query.open();
    if (m_query.recordCount() == 0)
        return std::nullopt;
    m_query.first();
    StoredSettings s;
    s.softwareName = Text::trimmed(m_query.fieldText(QStringLiteral("soft_name")));
    s.comNum = m_query.fieldInt(QStringLiteral("com_num"));
    s.comBaud = m_query.fieldInt(QStringLiteral("com_baud"));
    s.comDataBit = m_query.fieldInt(QStringLiteral("com_data_bit"));
    s.comStopBit = m_query.fieldInt(QStringLiteral("com_stop_bit"));
    s.comParity = Text::trimmed(m_query.fieldText(QStringLiteral("com_parity")));
    s.monitorPeriod = m_query.fieldInt(QStringLiteral("moniter_time"));
    s.nodeReadPeriod = m_query.fieldInt(QStringLiteral("node_read_time"));
    m_query.close();
    return s;
}

void SettingsTable::openForWrite()
{
    m_query.close();
    m_query.setSql(kWriteSql);
    m_query.open();
}

void SettingsTable::storeName(const QString& name)
{
    openForWrite();
    m_query.edit();
    m_query.setField(QStringLiteral("soft_name"), name);
    m_query.post();
    m_query.close();
}

void SettingsTable::storePeriods(int monitorPeriod, int nodeReadPeriod)
{
    openForWrite();
    m_query.edit();
    m_query.setField(QStringLiteral("moniter_time"), monitorPeriod);
    m_query.setField(QStringLiteral("node_read_time"), nodeReadPeriod);
    m_query.post();
    m_query.close();
}

bool SettingsTable::storeLine(int comNum, int comBaud, int comDataBit, int comStopBit,
                              const QString& comParity)
{
    openForWrite();
    if (m_query.recordCount() != 1)
        return false;
    m_query.first();
    m_query.edit();
    m_query.setField(QStringLiteral("com_num"), comNum);
    m_query.setField(QStringLiteral("com_baud"), comBaud);
    m_query.setField(QStringLiteral("com_data_bit"), comDataBit);
    m_query.setField(QStringLiteral("com_stop_bit"), comStopBit);
    m_query.setField(QStringLiteral("com_parity"), comParity);
    m_query.post();
    m_query.close();
    return true;
}
