#pragma once

#include "display/TreeImages.h"

#include <QDialog>

class Connection;
class Query;

// Device management dialog; its commands arrive with the device configuration work.
class TForm5 final : public QDialog
{
    Q_OBJECT
public:
    // treeQuery is the main window's tree query, which the dialog's own tree
    // is built through as well.
    TForm5(Connection& connection, Query& treeQuery, const TreeImageList& images);

    // Mode of the dialog; the main window sets "监控系统" before each opening.
    QString DialogKind;

signals:
    // Devices or nodes may have changed: the main window's tree is rebuilt.
    void treeChanged();
};
