// The floor under a poll step: one synced UPDATE on the database's own
// settings (WAL, synchronous FULL), after a 100 ms pause and back to back.
#include "store/Connection.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
double medianUpdateMs(QSqlQuery& update, int times, int pauseMs)
{
    std::vector<double> samples;
    for (int i = 0; i < times; ++i) {
        if (pauseMs > 0)
            QThread::msleep(pauseMs);
        update.bindValue(0, i);
        QElapsedTimer timer;
        timer.start();
        if (!update.exec())
            return -1;
        samples.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(samples.begin(), samples.end());
    return samples.at(samples.size() / 2);
}
} // namespace

int main()
{
    QTemporaryDir dir;
    Connection connection;
    connection.create(dir.filePath(QStringLiteral("table.db")));
    QSqlQuery setup(connection.database());
    setup.exec(QStringLiteral("INSERT INTO node_record (device_id, node_name) VALUES (1, 'n')"));
    QSqlQuery update(connection.database());
    update.prepare(QStringLiteral("UPDATE node_record SET node_data=? WHERE device_id=1"));
    const double paused = medianUpdateMs(update, 100, 100);
    const double backToBack = medianUpdateMs(update, 300, 0);
    std::printf("median synced UPDATE: %.3f ms after a 100 ms pause, %.3f ms back to back\n", paused,
                backToBack);
    return 0;
}
