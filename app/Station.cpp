#include "app/Station.h"

#include "app/StationWorker.h"
#include "link/ModbusRtuBus.h"
#include "mqtt/MqttPublisher.h"
#include "store/AlarmLogTable.h"
#include "store/FixedTexts.h"

#include <QFileInfo>
#include <cstdio>

Station::Station(Connection& connection)
    : dbConnection(connection), alarmLogQuery(connection), treeQuery(connection), viewQuery(connection),
      settingsQuery(connection), m_ownBus(std::make_unique<ModbusRtuBus>()), m_bus(m_ownBus.get())
{
    qRegisterMetaType<PollStepResult>();
    qRegisterMetaType<DeviceCounters>();
    AlarmLogTable(alarmLogQuery).openLog();
    startPublishing();
    m_worker = new StationWorker(connection.fileName(), m_bus, m_mqtt.get());
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &StationWorker::stepDone, this, [this](const PollStepResult& result) {
        --m_unanswered;
        m_stepUnderWay = false;
        if (result.passEnded)
            poll.Countdown = poll.MonitorPeriod;
        emit stepDone(result);
    });
    connect(m_worker, &StationWorker::scopeOpened, this,
            [this](const QVector<qint64>& rowIds, const QString& error) {
                --m_unanswered;
                if (!error.isEmpty()) {
                    emit scopeFailed(error);
                    return;
                }
                m_scopeRowIds = rowIds;
            });
    // Counts already on their way when a reset was asked belong to the run before.
    connect(m_worker, &StationWorker::countersChanged, this, [this](const DeviceCounters& counters) {
        if (m_unansweredResets == 0)
            emit countersChanged(counters);
    });
    connect(m_worker, &StationWorker::countersCleared, this, [this]() { --m_unansweredResets; });
    // The alarm states live on the worker: the publisher is told there, at
    // once (its queue takes messages from any thread), the window by queue.
    if (m_mqtt)
        connect(m_worker, &StationWorker::alarmStatesChanged, m_mqtt.get(), &MqttPublisher::alarmStatesChanged,
                Qt::DirectConnection);
    connect(m_worker, &StationWorker::alarmStatesChanged, this, &Station::alarmStatesChanged);
    connect(m_worker, &StationWorker::alarmRaised, this, &Station::alarmRaised);
    connect(m_worker, &StationWorker::acknowledgeFailed, this, &Station::acknowledgeFailed);
    connect(m_worker, &StationWorker::acknowledged, this, [this]() { --m_unanswered; });
    m_thread.setObjectName(QStringLiteral("station"));
    m_thread.start();
}

Station::~Station()
{
    const int openPort = line.PortState == PortState::kOpen ? line.ComNum : 0;
    // Waited for: a request still queued when the thread's loop ends is never run.
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, openPort]() { worker->finish(openPort); },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
    m_mqtt.reset();
}

template <typename Work> void Station::ask(Work&& work)
{
    QMetaObject::invokeMethod(m_worker, std::forward<Work>(work), Qt::QueuedConnection);
}

void Station::startPublishing()
{
    // Without mqtt.conf nothing is published.
    const QString path = MqttConfig::defaultPath();
    if (!QFileInfo::exists(path))
        return;
    const std::optional<MqttConfig> config = MqttConfig::load(path, &m_publishingProblem);
    if (!config) {
        std::fprintf(stderr, "MQTT publishing off: %s\n", qUtf8Printable(m_publishingProblem));
        return;
    }
    m_mqtt = std::make_unique<MqttPublisher>(*config);
    connect(this, &Station::countersChanged, m_mqtt.get(), &MqttPublisher::countersChanged);
}

void Station::setBus(FieldBus* bus)
{
    m_bus = bus;
    ask([worker = m_worker, bus]() { worker->setBus(bus); });
}

void Station::openPollScope()
{
    const QString& kind = selection.SelectedKind;
    if (kind != SelectionKind::kNode && kind != SelectionKind::kDevice && kind != SelectionKind::kSystem)
        return;
    ++m_unanswered;
    ask([worker = m_worker, chosen = selection]() { worker->openScope(chosen); });
}

void Station::pauseReadings()
{
    ask([worker = m_worker]() { worker->pauseReadings(); });
}

void Station::resetCounters()
{
    ++m_unansweredResets;
    ask([worker = m_worker]() { worker->resetCounters(); });
}

void Station::acknowledgeAlarm(int deviceId, const QString& nodeName, const QString& user)
{
    ++m_unanswered;
    ask([worker = m_worker, key = AlarmKey{deviceId, nodeName}, user]() { worker->acknowledge(key, user); });
}

void Station::acknowledgeAllAlarms(const QString& user)
{
    ++m_unanswered;
    ask([worker = m_worker, user]() { worker->acknowledge(std::nullopt, user); });
}

void Station::pollTick()
{
    if (m_stepUnderWay || poll.Countdown != 0)
        return;
    m_stepUnderWay = true;
    ++m_unanswered;
    ask([worker = m_worker, port = line.ComNum]() { worker->step(port); });
}
