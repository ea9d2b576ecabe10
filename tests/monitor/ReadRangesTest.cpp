#include "monitor/ReadRanges.h"

#include <QTest>

// "nodes = ranges": nodes "device:function:register" in scope order, ~ before
// the device of one that refuses ranges; ranges "device:function:start+count".
class ReadRangesTest final : public QObject
{
    Q_OBJECT
private slots:
    void build_data()
    {
        QTest::addColumn<QString>("plan");
        QTest::newRow("KPV block") << "1:3:11 1:3:9 1:3:5 = 1:3:5+7";
        QTest::newRow("hole of 8") << "1:3:1 1:3:10 = 1:3:1+10";
        QTest::newRow("hole of 9") << "1:3:1 1:3:11 = 1:3:1+1 1:3:11+1";
        QTest::newRow("40 registers") << "1:4:0 1:4:8 1:4:16 1:4:24 1:4:32 1:4:39 = 1:4:0+40";
        QTest::newRow("41 registers") << "1:4:0 1:4:8 1:4:16 1:4:24 1:4:32 1:4:40 = 1:4:0+33 1:4:40+1";
        QTest::newRow("mixed 03 and 04") << "1:3:5 1:4:6 1:3:9 = 1:3:5+5 1:4:6+1";
        QTest::newRow("devices in scope order") << "2:3:9 1:3:5 2:3:11 1:3:6 = 2:3:9+3 1:3:5+2";
        QTest::newRow("same register twice") << "1:3:9 1:3:9 = 1:3:9+1";
        QTest::newRow("single node") << "1:3:9 = 1:3:9+1";
        QTest::newRow("node selected in the tree") << "7:4:11 = 7:4:11+1";
        QTest::newRow("other function alone") << "1:6:5 1:6:6 = 1:6:5+1 1:6:6+1";
        QTest::newRow("refusing device") << "~1:3:5 ~1:3:9 2:3:5 2:3:9 = 1:3:5+1 1:3:9+1 2:3:5+5";
    }

    void build()
    {
        QFETCH(QString, plan);
        QVector<RangeNode> nodes;
        QSet<int> nodeByNode;
        for (QString node : plan.section(" = ", 0, 0).split(' ')) {
            if (node.startsWith('~'))
                nodeByNode.insert(node.remove('~').section(':', 0, 0).toInt());
            const QStringList p = node.split(':');
            nodes.append({nodes.size() + 1, p[0].toInt(), p[1].toInt(), p[2].toInt()});
        }
        QStringList out;
        for (const ReadRange& range : ReadRanges::build(nodes, nodeByNode))
            out << QString("%1:%2:%3+%4")
                       .arg(range.deviceId)
                       .arg(range.function)
                       .arg(range.start)
                       .arg(range.count);
        QCOMPARE(out.join(' '), plan.section(" = ", 1));
    }
};

QTEST_GUILESS_MAIN(ReadRangesTest)
#include "ReadRangesTest.moc"
