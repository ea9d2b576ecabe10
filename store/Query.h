#pragma once

#include "store/Connection.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QDateTime;

// A reusable query on the shared connection: close it, give it a statement and
// named parameters, then open it (a select, whose rows are read at once so the
// row count is known) or execute it (an insert or delete). Rows of a select on
// one table can be edited and posted back; a post changes exactly the row that
// was read, and only while the columns it sets are unchanged in the database.
// Every failure throws AppError with the data layer's text.
class Query final : public QObject
{
    Q_OBJECT
public:
    explicit Query(Connection& connection, QObject* parent = nullptr);

    Connection& connection() const { return m_connection; }

    void close();
    void setSql(const QString& text);
    QString sql() const { return m_sql; }

    // Parameter names may be any letters, Chinese included (":告警时间").
    void setParam(const QString& name, const QVariant& value);
    void setText(const QString& name, const QString& value) { setParam(name, value); }
    void setInt(const QString& name, int value) { setParam(name, value); }
    void setDateTime(const QString& name, const QDateTime& value);

    void open();
    void execSql();
    // The row id the last execSql gave a new row (an insert), else unspecified.
    qint64 lastInsertId() const { return m_lastInsertId; }

    bool isActive() const { return m_active; }
    int recordCount() const { return int(m_rows.size()); }
    void first();
    void next();
    bool eof() const;
    int recNo() const { return m_current; }
    void setRecNo(int row);

    QStringList columnNames() const { return m_columns; }
    QVariant value(int row, int column) const;
    QVariant fieldValue(const QString& name) const;
    // Empty columns, and every column when there is no current row, read as
    // "", 0 and 30 December 1899.
    QString fieldText(const QString& name) const;
    int fieldInt(const QString& name) const;
    QDateTime fieldDateTime(const QString& name) const;

    // Edit the current row; on an empty result, start a new row instead.
    void edit();
    void setField(const QString& name, const QVariant& value);
    void post();
    void cancel();
    bool isEditing() const { return m_state != State::Browse; }
    // Deletes the current row from its table (a select on one table) and from
    // the rows held; the next row, or the new last, becomes current.
    void deleteCurrent();
    // Ends any edit and reads the current row again from its table. A row gone
    // from the table is dropped; the next row, or the new last, becomes current.
    void refreshCurrent();

    // The id of a held row in its table, 0 when unknown; the position of the
    // row with an id (tried first at hint), -1 when none is held.
    qint64 rowId(int row) const { return row >= 0 && row < m_rowIds.size() ? m_rowIds.at(row) : 0; }
    int rowOfId(qint64 id, int hint) const;
    QVector<QVariant> heldRow(int row) const { return m_rows.value(row); }
    // Takes the values another query on the same columns read or posted for
    // this held row, without reading the table again.
    void replaceHeldRow(int row, const QVector<QVariant>& values);
    // Takes a row another statement wrote into the rows held, at position,
    // without reading the table again; the first row becomes current, as after
    // a reopen.
    void insertHeldRow(int position, qint64 rowId, const QVector<QVariant>& values);

signals:
    // Opened, closed, moved, a row posted, deleted or read again: grids showing
    // this query refresh.
    void changed();
    // A row taken in by insertHeldRow: grids add its line.
    void rowInserted(int position);

private:
    enum class State { Browse, Edit, Insert };

    void requireActive() const;
    int columnIndex(const QString& name) const;
    void prepareStatement(const QString& text, QString& positional, QStringList& names) const;
    void bindParams(class QSqlQuery& query, const QStringList& names) const;
    class QSqlQuery& execute(const QString& statement, const QStringList& names) const;
    QString tableName() const;
    class QSqlQuery& runWrite(const QString& statement, const QVector<QVariant>& values);
    void postEdit();
    void postInsert();
    void dropCurrent();

    Connection& m_connection;
    QString m_sql;
    QHash<QString, QVariant> m_params; // keyed by lower-case name
    bool m_active = false;
    QString m_table; // the one table a select reads, empty when it cannot be edited
    QStringList m_columns;
    QVector<QVector<QVariant>> m_rows;
    QVector<qint64> m_rowIds; // 0 when the statement gave no row ids
    int m_current = 0;
    qint64 m_lastInsertId = 0;
    State m_state = State::Browse;
    QVector<QVariant> m_buffer;
    QVector<bool> m_assigned;
};
