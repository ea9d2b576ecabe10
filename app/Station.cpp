#include "app/Station.h"

#include "app/StationWorker.h"
#include "link/ModbusRtuBus.h"
#include "monitor/PollPacer.h"
#include "mqtt/MqttPublisher.h"
#include "store/AlarmLogTable.h"
#include "store/FixedTexts.h"
#include "store/NodeTable.h"

#include <QFileInfo>
#include <QtCore/qtsan_impl.h>
#include <cstdio>
#include <future>
#include <mutex>

Station::Station(Connection& connection)
    : dbConnection(connection), alarmLogQuery(connection), treeQuery(connection), viewQuery(connection),
      settingsQuery(connection), m_ownBus(std::make_unique<ModbusRtuBus>()), m_bus(m_ownBus.get())
{
    qRegisterMetaType<DeviceCounters>();
    AlarmLogTable(alarmLogQuery).openLog();
    startPublishing();
    m_worker = new StationWorker(connection.fileName(), m_bus, m_mqtt.get(), m_steps);
    m_worker->moveToThread(&m_thread);
    // Told once however many steps wait: a busy window takes them all at its return.
    connect(m_worker, &StationWorker::stepsWaiting, this, [this]() {
        const PollSteps steps = m_steps.take();
        m_unanswered -= steps.asked;
        if (steps.asked > 0)
            m_stepUnderWay = false;
        // The countdown the window shows; the worker keeps the pause itself.
        if (steps.pauseBegun)
            poll.Countdown = poll.MonitorPeriod;
        emit stepsDone(steps);
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
    // A broker learns every device and the alarms left from the last run
    // whether or not monitoring starts.
    if (m_mqtt) {
        publishDevices();
        ask([worker = m_worker]() { worker->open(); });
    }
}

Station::~Station()
{
    const int openPort = line.PortState == PortState::kOpen ? line.ComNum : 0;
    // Waited for: a request still queued when the thread's loop ends is never
    // run. Asked and awaited in ways ThreadSanitizer sees (Qt's own blocking
    // call waits on futexes); the two marks tell it that finish() and the
    // thread's end come before the delete.
    std::promise<void> finished;
    ask([worker = m_worker, openPort, &finished]() {
        worker->finish(openPort);
        QtTsan::futexRelease(worker);
        finished.set_value();
    });
    finished.get_future().wait();
    m_thread.quit();
    m_thread.wait();
    QtTsan::futexAcquire(m_worker);
    delete m_worker;
    m_mqtt.reset();
}

namespace {
// Held while Qt makes and posts a request, and taken by the station's thread
// before it reads one. Qt's event queue waits on futexes, which
// ThreadSanitizer does not see; this lock it sees, so it knows a request is
// whole, the object Qt made of it too, before it runs there.
std::mutex handOver;
} // namespace

template <typename Work> void Station::ask(Work&& work)
{
    const std::lock_guard lock(handOver);
    QMetaObject::invokeMethod(
        m_worker,
        [work = std::forward<Work>(work)]() mutable {
            handOver.lock(); // once Qt let go of the request
            handOver.unlock();
            work();
        },
        Qt::QueuedConnection);
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

void Station::publishDevices()
{
    if (!m_mqtt)
        return;
    Query nodes(dbConnection);
    NodeTable(nodes).openAll();
    m_mqtt->devicesChanged(HomeAssistant::devices(nodes));
    m_mqtt->nodesStored(nodes);
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

void Station::resetCounters()
{
    ++m_unansweredResets;
    ask([worker = m_worker]() { worker->resetCounters(); });
}

void Station::acknowledgeAlarms(const QVector<AlarmOccurrence>& shown, const QString& user)
{
    ++m_unanswered;
    ask([worker = m_worker, shown, user]() { worker->acknowledge(shown, user); });
}

void Station::reloadAlarmStates()
{
    ++m_unanswered;
    ask([worker = m_worker]() { worker->reloadAlarmStates(); });
}

void Station::startPolling(int nodeReadPeriod, int monitorPeriod)
{
    m_readPeriod = nodeReadPeriod;
    m_lineMode = PollPacer::linePaceSet(PollPacer::settingsPath());
    ask([worker = m_worker, port = line.ComNum, nodeReadPeriod, monitorPeriod, lineMode = m_lineMode]() {
        worker->startPolling(port, nodeReadPeriod, monitorPeriod, lineMode);
    });
}

void Station::stopPolling()
{
    if (!polling())
        return;
    m_readPeriod = 0;
    ask([worker = m_worker]() { worker->stopPolling(); });
}

void Station::holdPace(bool held)
{
    ask([worker = m_worker, held]() { worker->holdPace(held); });
}

void Station::pollTick()
{
    if (m_stepUnderWay)
        return;
    m_stepUnderWay = true;
    ++m_unanswered;
    ask([worker = m_worker, port = line.ComNum]() { worker->step(port, true); });
}
