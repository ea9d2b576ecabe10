#pragma once

#include <QFileIconProvider>
#include <QMimeDatabase>

// Icons and type names from the file name alone. The default provider opens
// files to guess their type from the contents; on POSIX, closing any
// descriptor of a file drops every lock the process holds on it, so a file
// dialog showing the database's folder would release the connection's locks
// and let another program checkpoint or delete the write-ahead log under it.
class NameOnlyIconProvider final : public QFileIconProvider
{
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override;
    QString type(const QFileInfo& info) const override;

private:
    QMimeDatabase m_mimeTypes;
};
