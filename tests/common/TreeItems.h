#pragma once

#include <QTest>
#include <QTreeWidget>

// "root(device(node,node),device(node))"
inline QString treeText(const QTreeWidgetItem* item)
{
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i)
        children << treeText(item->child(i));
    return item->text(0) + (children.isEmpty() ? QString() : u'(' + children.join(u',') + u')');
}

// A mouse click on the item at path "[<device>[/<node>]]" below the root.
inline void clickItem(QTreeWidget* tree, const QString& path)
{
    QTreeWidgetItem* item = tree->topLevelItem(0);
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        QTreeWidgetItem* parent = item;
        for (int i = 0; i < parent->childCount(); ++i) {
            if (parent->child(i)->text(0) == part)
                item = parent->child(i);
        }
        QVERIFY2(item != parent, qPrintable(path));
    }
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
}
