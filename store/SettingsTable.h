#pragma once

#include <QString>
#include <optional>

class Query;

// What the settings row holds; names and parity trimmed.
struct StoredSettings
{
    QString softwareName;
    int comNum = 0;
    int comBaud = 0;
    int comDataBit = 0;
    int comStopBit = 0;
    QString comParity;
    int monitorPeriod = 0;
    int nodeReadPeriod = 0;
};

// soft_record, the one settings row, read and written through the caller's
// query. Each write reads the table first and posts into its first row.
class SettingsTable final
{
public:
    explicit SettingsTable(Query& query) : m_query(query) {}

    // The first row; none when the table is empty.
    std::optional<StoredSettings> read();
    // The first row, or a new row holding only the name when there is none.
    void storeName(const QString& name);
    // The first row, or a new row holding only the periods when there is none.
    void storePeriods(int monitorPeriod, int nodeReadPeriod);
    // Only into the one row: with none, or several, nothing is safe to
    // update. Returns whether the row was written.
    bool storeLine(int comNum, int comBaud, int comDataBit, int comStopBit, const QString& comParity);

private:
    void openForWrite();

    Query& m_query;
};
