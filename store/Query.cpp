#include "store/Query.h"

#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Text.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const QString kRowIdColumn = QStringLiteral("__rowid__");
const QString kRowLost = QStringLiteral(
    "Row cannot be located for updating. Some values may have been changed since it was last read.");

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// Dates are stored in their display form, to the second, so that what the
// operator sees is exactly what a later lookup compares against.
QVariant toDatabase(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QVariant();
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return Text::dateTimeText(value.toDateTime());
    case QMetaType::QDate:
        return Text::dateTimeText(QDateTime(value.toDate(), QTime(0, 0)));
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return value.toLongLong();
    default:
        return value;
    }
}

QString quoted(const QString& identifier)
{
    return QLatin1Char('"') + QString(identifier).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

AppError sqlError(const QSqlQuery& query)
{
    const QSqlError error = query.lastError();
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return AppError(text);
}
} // namespace

Query::Query(Connection& connection, QObject* parent) : QObject(parent), m_connection(connection) {}

void Query::close()
{
    const bool wasActive = m_active;
    m_active = false;
    m_table.clear();
    m_columns.clear();
    m_rows.clear();
    m_rowIds.clear();
    m_current = 0;
    m_state = State::Browse;
    m_buffer.clear();
    m_assigned.clear();
    if (wasActive)
        emit changed();
}

void Query::setSql(const QString& text)
{
    close();
    m_sql = text;
    m_params.clear();
}

void Query::setParam(const QString& name, const QVariant& value)
{
    m_params.insert(name.toLower(), value);
}

void Query::setDateTime(const QString& name, const QDateTime& value)
{
    setParam(name, value);
}

void Query::prepareStatement(const QString& text, QString& positional, QStringList& names) const
{
    // Qt's own placeholder parser only knows ASCII names, so the statement's
    // names are replaced by positional markers here.
    positional.clear();
    names.clear();
    QChar quote;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            positional += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u'[') {
            quote = QLatin1Char(']');
        } else if (c == u':' && i + 1 < text.size() && isNameChar(text.at(i + 1))) {
            int end = i + 1;
            while (end < text.size() && isNameChar(text.at(end)))
                ++end;
            names << text.mid(i + 1, end - i - 1);
            positional += QLatin1Char('?');
            i = end - 1;
            continue;
        }
        positional += c;
    }
}

void Query::bindParams(QSqlQuery& query, const QStringList& names) const
{
    for (int i = 0; i < names.size(); ++i) {
        const auto it = m_params.constFind(names.at(i).toLower());
        if (it == m_params.constEnd())
            throw AppError(QStringLiteral("Parameter '%1' not found").arg(names.at(i)));
        query.bindValue(i, toDatabase(it.value()));
    }
}

QSqlQuery& Query::execute(const QString& statement, const QStringList& names) const
{
    QSqlQuery& query = m_connection.prepared(statement);
    bindParams(query, names);
    if (!query.exec())
        throw sqlError(query);
    return query;
}

void Query::open()
{
    close();
    QString positional;
    QStringList names;
    prepareStatement(m_sql, positional, names);

    // A select on one table also fetches each row's id, so that a post can find
    // exactly the row that was read.
    static const QRegularExpression selectHead(QStringLiteral("^\\s*select\\s"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QString table = tableName();
    const auto head = selectHead.match(positional);
    const bool withRowId = !table.isEmpty() && head.hasMatch();
    const QString statement = withRowId ? positional.left(head.capturedEnd()) + QStringLiteral("rowid AS ") +
                                              kRowIdColumn + QStringLiteral(", ") +
                                              positional.mid(head.capturedEnd())
                                        : positional;

    QSqlQuery& query = execute(statement, names);
    if (!query.isSelect())
        throw AppError(QStringLiteral("The statement returns no rows"));

    const QSqlRecord record = query.record();
    const int first = withRowId ? 1 : 0;
    QStringList columns;
    for (int i = first; i < record.count(); ++i)
        columns << record.fieldName(i);
    QVector<QVector<QVariant>> rows;
    QVector<qint64> ids;
    while (query.next()) {
        QVector<QVariant> row;
        row.reserve(columns.size());
        for (int i = first; i < record.count(); ++i)
            row << query.value(i);
        rows << row;
        ids << (withRowId ? query.value(0).toLongLong() : 0);
    }
    // A kept statement left unfinished would hold its read snapshot of the file.
    const bool failed = query.lastError().isValid();
    const AppError error = sqlError(query);
    query.finish();
    if (failed)
        throw error;

    m_table = withRowId ? table : QString();
    m_columns = columns;
    m_rows = std::move(rows);
    m_rowIds = std::move(ids);
    m_current = 0;
    m_active = true;
    emit changed();
}

void Query::execSql()
{
    close();
    QString positional;
    QStringList names;
    prepareStatement(m_sql, positional, names);
    m_lastInsertId = execute(positional, names).lastInsertId().toLongLong();
}

QString Query::tableName() const
{
    static const QRegularExpression fromClause(
        QStringLiteral("\\bfrom\\s+([A-Za-z_][A-Za-z0-9_]*)\\s*(?:$|where|order|\\()"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression join(QStringLiteral("\\bjoin\\b|\\bgroup\\s+by\\b|\\bunion\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    const auto match = fromClause.match(m_sql);
    if (!match.hasMatch() || join.match(m_sql).hasMatch())
        return QString();
    return match.captured(1);
}

void Query::requireActive() const
{
    if (!m_active)
        throw AppError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void Query::first()
{
    requireActive();
    m_current = 0;
    emit changed();
}

void Query::next()
{
    requireActive();
    if (m_current < m_rows.size())
        ++m_current;
    emit changed();
}

bool Query::eof() const
{
    return !m_active || m_current >= m_rows.size();
}

void Query::setRecNo(int row)
{
    requireActive();
    m_current = qBound(0, row, int(m_rows.size()));
    emit changed();
}

int Query::columnIndex(const QString& name) const
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    throw AppError(QStringLiteral("Field '%1' not found").arg(name));
}

QVariant Query::value(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= m_columns.size())
        return QVariant();
    return m_rows.at(row).at(column);
}

QVariant Query::fieldValue(const QString& name) const
{
    requireActive();
    const int column = columnIndex(name);
    if (m_state != State::Browse)
        return m_buffer.at(column);
    // No current row (an empty result, or past the last row) reads as empty columns.
    if (m_current >= m_rows.size())
        return QVariant();
    return m_rows.at(m_current).at(column);
}

QString Query::fieldText(const QString& name) const
{
    const QVariant v = fieldValue(name);
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::QDateTime)
        return Text::dateTimeText(v.toDateTime());
    return v.toString();
}

int Query::fieldInt(const QString& name) const
{
    const QVariant v = fieldValue(name);
    if (v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Double:
        return int(v.toLongLong());
    default:
        return Text::toInt(v.toString());
    }
}

QDateTime Query::fieldDateTime(const QString& name) const
{
    const QVariant v = fieldValue(name);
    if (v.isNull())
        return Text::zeroDateTime();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime();
    return Text::parseDateTime(v.toString());
}

void Query::edit()
{
    requireActive();
    if (m_state != State::Browse)
        return;
    if (m_table.isEmpty())
        throw AppError(QStringLiteral("The query cannot be edited"));
    if (m_rows.isEmpty()) {
        m_state = State::Insert;
        m_buffer = QVector<QVariant>(m_columns.size());
    } else {
        if (m_current >= m_rows.size())
            m_current = int(m_rows.size()) - 1;
        m_state = State::Edit;
        m_buffer = m_rows.at(m_current);
    }
    m_assigned = QVector<bool>(m_columns.size(), false);
}

void Query::setField(const QString& name, const QVariant& value)
{
    requireActive();
    if (m_state == State::Browse)
        throw AppError(QStringLiteral("Dataset not in edit or insert mode"));
    const int column = columnIndex(name);
    m_buffer[column] = toDatabase(value);
    m_assigned[column] = true;
}

void Query::cancel()
{
    m_state = State::Browse;
    m_buffer.clear();
    m_assigned.clear();
}

void Query::post()
{
    requireActive();
    if (m_state == State::Edit)
        postEdit();
    else if (m_state == State::Insert)
        postInsert();
    m_state = State::Browse;
    m_buffer.clear();
    m_assigned.clear();
    emit changed();
}

void Query::postEdit()
{
    // The row is found by its id and the old values of the columns set here:
    // another program's change to other columns does not stop the post, one
    // to the same columns is not overwritten.
    QStringList sets;
    QStringList conditions{QStringLiteral("rowid=?")};
    QVector<QVariant> values;
    QVector<QVariant> conditionValues{m_rowIds.at(m_current)};
    const QVector<QVariant>& original = m_rows.at(m_current);
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_assigned.at(i))
            continue;
        sets << quoted(m_columns.at(i)) + QStringLiteral("=?");
        values << m_buffer.at(i);
        conditions << quoted(m_columns.at(i)) + QStringLiteral(" IS ?");
        conditionValues << original.at(i);
    }
    if (sets.isEmpty())
        return;
    const QSqlQuery& query = runWrite(
        QStringLiteral("UPDATE %1 SET %2 WHERE %3")
            .arg(quoted(m_table), sets.join(QStringLiteral(", ")), conditions.join(QStringLiteral(" AND "))),
        values + conditionValues);
    if (query.numRowsAffected() != 1) {
        // What the file holds now, so that the next attempt can succeed.
        refreshCurrent();
        throw AppError(kRowLost);
    }
    m_rows[m_current] = m_buffer;
}

void Query::deleteCurrent()
{
    requireActive();
    cancel();
    if (m_table.isEmpty())
        throw AppError(QStringLiteral("The query cannot be edited"));
    if (m_current >= m_rows.size())
        throw AppError(QStringLiteral("Either BOF or EOF is True, or the current record has been deleted"));
    const QSqlQuery& query = runWrite(QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(quoted(m_table)),
                                      {m_rowIds.at(m_current)});
    // A row another program deleted first is gone all the same.
    const bool found = query.numRowsAffected() == 1;
    dropCurrent();
    emit changed();
    if (!found)
        throw AppError(kRowLost);
}

void Query::refreshCurrent()
{
    requireActive();
    cancel();
    if (m_table.isEmpty() || m_current >= m_rows.size())
        return;
    QStringList columns;
    for (const QString& column : m_columns)
        columns << quoted(column);
    QSqlQuery& query = m_connection.prepared(QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?")
                                                 .arg(columns.join(QStringLiteral(", ")), quoted(m_table)));
    query.bindValue(0, m_rowIds.at(m_current));
    if (!query.exec())
        throw sqlError(query);
    const bool found = query.next();
    const bool failed = query.lastError().isValid();
    const AppError error = sqlError(query);
    if (found) {
        for (int i = 0; i < m_columns.size(); ++i)
            m_rows[m_current][i] = query.value(i);
    }
    query.finish();
    if (failed)
        throw error;
    if (!found)
        dropCurrent();
    emit changed();
}

int Query::rowOfId(qint64 id, int hint) const
{
    if (id == 0)
        return -1;
    if (hint >= 0 && hint < m_rowIds.size() && m_rowIds.at(hint) == id)
        return hint;
    return int(m_rowIds.indexOf(id));
}

void Query::replaceHeldRow(int row, const QVector<QVariant>& values)
{
    requireActive();
    if (row < 0 || row >= m_rows.size() || values.size() != m_columns.size())
        throw AppError(QStringLiteral("The row does not fit the query"));
    cancel();
    m_rows[row] = values;
    emit changed();
}

void Query::insertHeldRow(int position, qint64 rowId, const QVector<QVariant>& values)
{
    requireActive();
    cancel();
    position = qBound(0, position, int(m_rows.size()));
    QVector<QVariant> row = values;
    row.resize(m_columns.size());
    m_rows.insert(position, row);
    m_rowIds.insert(position, rowId);
    m_current = 0;
    emit rowInserted(position);
}

void Query::dropCurrent()
{
    m_rows.removeAt(m_current);
    m_rowIds.removeAt(m_current);
    m_current = qMax(0, qMin(m_current, int(m_rows.size()) - 1));
}

QSqlQuery& Query::runWrite(const QString& statement, const QVector<QVariant>& values)
{
    try {
        QSqlQuery& query = m_connection.prepared(statement);
        for (int i = 0; i < values.size(); ++i)
            query.bindValue(i, values.at(i));
        if (!query.exec())
            throw sqlError(query);
        return query;
    } catch (const AppError&) {
        // A failed post leaves the row as it was read, out of edit mode.
        cancel();
        throw;
    }
}

void Query::postInsert()
{
    QStringList columns;
    QStringList marks;
    QVector<QVariant> values;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (!m_assigned.at(i))
            continue;
        columns << quoted(m_columns.at(i));
        marks << QStringLiteral("?");
        values << m_buffer.at(i);
    }
    const QString statement =
        columns.isEmpty()
            ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(m_table))
            : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(quoted(m_table), columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    const QSqlQuery& query = runWrite(statement, values);
    m_rows << m_buffer;
    m_rowIds << query.lastInsertId().toLongLong();
    m_current = int(m_rows.size()) - 1;
}
