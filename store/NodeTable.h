#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

class Query;

// node_record, the nodes of every device, through the caller's query: after
// an open the rows stay in it for polling, a view or an edit. Every failure
// throws AppError.
class NodeTable final
{
public:
    explicit NodeTable(Query& query) : m_query(query) {}

    // The columns a poll step writes; the others change only by an edit.
    static const QStringList& polledColumns();

    // Every node by address, then node name; the device tree reads the names
    // backwards.
    void openAll();
    void openForTree();
    // One node, and one device's nodes in node name order, as the views and
    // the poll scope read them.
    void openNode(int deviceId, const QString& nodeName);
    void openDevice(int deviceId);
    // The device dialog's lookups: one device's nodes in name order, unordered,
    // and one node.
    void openDeviceToEdit(int deviceId);
    void openDeviceRows(int deviceId);
    void openNodeToEdit(int deviceId, const QString& nodeName);

    // A node typed in, and a node of a standard device with its install date;
    // values are keyed by column name.
    void addNode(const QHash<QString, QVariant>& values);
    void addDatedNode(const QHash<QString, QVariant>& values);
    void removeNode(int deviceId, const QString& nodeName);
    void removeDevice(int deviceId);
    // Whether a node of the device other than the row exceptRowId is stored
    // as having lost communication.
    bool othersLost(int deviceId, qint64 exceptRowId);

private:
    void select(const QString& statement);
    void exec(const QString& statement, const QHash<QString, QVariant>& values);

    Query& m_query;
};
