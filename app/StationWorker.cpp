#include "app/StationWorker.h"

#include "link/FieldBus.h"
#include "monitor/AlarmStates.h"
#include "monitor/PollCycle.h"
#include "monitor/PollPacer.h"
#include "monitor/StepQueue.h"
#include "store/AppError.h"
#include "store/Connection.h"
#include "store/FixedTexts.h"
#include "store/NodeTable.h"
#include "store/Query.h"

#include <exception>

namespace {
template <typename Work> QString failureOf(Work&& work)
{
    try {
        work();
    } catch (const AppError& e) {
        return e.text();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
    return {};
}
} // namespace

StationWorker::StationWorker(QString fileName, FieldBus* bus, PollEvents* events, StepQueue& steps)
    : m_fileName(std::move(fileName)), m_bus(bus), m_events(events), m_steps(steps),
      m_counters(new BusCounters(this)), m_pacer(new PollPacer(this))
{
    connect(m_counters, &BusCounters::deviceChanged, this, &StationWorker::countersChanged);
    connect(m_counters, &BusCounters::cleared, this, &StationWorker::countersCleared);
    connect(m_pacer, &PollPacer::stepDue, this, [this]() { step(m_line.ComNum, false); });
}

StationWorker::~StationWorker() = default;

// Connections belong to the thread that opens them: this one is opened on
// the station's thread, at its first use there, and again after a failure.
void StationWorker::ensureOpen()
{
    if (m_connection && m_connection->isOpen())
        return;
    m_cycle.reset();
    m_alarms.reset();
    m_scope.reset();
    m_connection =
        std::make_unique<Connection>(QStringLiteral("stationConnection%1").arg(quintptr(this), 0, 16));
    m_connection->open(m_fileName);
    m_scope = std::make_unique<Query>(*m_connection);
    m_cycle = std::make_unique<PollCycle>(m_line, m_poll, *m_scope, m_bus);
    m_cycle->setEvents(m_events);
    m_cycle->setCounters(m_counters);
    // Made here, so it lives on this thread with the connection it writes on.
    m_alarms = std::make_unique<AlarmStates>(*m_connection);
    connect(m_alarms.get(), &AlarmStates::changed, this, &StationWorker::alarmStatesChanged);
    connect(m_alarms.get(), &AlarmStates::alarmRaised, this, &StationWorker::alarmRaised);
    connect(m_alarms.get(), &AlarmStates::acknowledgeFailed, this, &StationWorker::acknowledgeFailed);
    m_cycle->setAlarmStates(m_alarms.get());
    emit alarmStatesChanged({}, m_alarms->active());
}

void StationWorker::open()
{
    failureOf([this]() { ensureOpen(); });
}

void StationWorker::setBus(FieldBus* bus)
{
    m_bus = bus;
    if (m_cycle)
        m_cycle->setBus(bus);
}

void StationWorker::openScope(const Selection& selection)
{
    const QString& kind = selection.SelectedKind;
    QVector<qint64> rowIds;
    const QString error = failureOf([&]() {
        ensureOpen();
        NodeTable nodes(*m_scope);
        if (kind == SelectionKind::kNode)
            nodes.openNode(selection.SelectedDeviceId, selection.SelectedNodeName);
        else if (kind == SelectionKind::kDevice)
            nodes.openDevice(selection.SelectedDeviceId);
        else
            nodes.openAll();
        m_scope->first();
        m_cycle->scopeOpened();
        for (int row = 0; row < m_scope->recordCount(); ++row)
            rowIds << m_scope->rowId(row);
    });
    emit scopeOpened(rowIds, error);
}

void StationWorker::startPolling(int port, int nodeReadPeriod, int monitorPeriod)
{
    m_line.ComNum = port;
    // A start follows a stop or the program's start: surges seen next may
    // have come at any time since the last reading.
    if (m_cycle)
        m_cycle->readingsPaused();
    m_pacer->start(nodeReadPeriod, monitorPeriod);
}

void StationWorker::stopPolling()
{
    m_pacer->stop();
}

void StationWorker::holdPace(bool held)
{
    m_pacer->setHeld(held);
}

void StationWorker::step(int port, bool asked)
{
    PollStepResult result;
    result.error = failureOf([&]() {
        ensureOpen();
        m_line.ComNum = port;
        result = m_cycle->pollTick();
        // Only a step the window refreshes for moves the mark on: a write by
        // another connection is told with the next refresh, whenever it came.
        if (result.refresh) {
            const qint64 version = m_connection->dataVersion();
            result.polled.fileChanged = version != m_seenDataVersion;
            m_seenDataVersion = version;
        }
    });
    m_pacer->stepTaken(result.passEnded);
    if (m_steps.put(result, asked))
        emit stepsWaiting();
}

void StationWorker::resetCounters()
{
    m_counters->reset();
}

void StationWorker::acknowledge(const QVector<AlarmOccurrence>& shown, const QString& user)
{
    const QString error = failureOf([&]() {
        ensureOpen();
        m_alarms->acknowledge(shown, user);
    });
    if (!error.isEmpty())
        emit acknowledgeFailed(error);
    emit acknowledged();
}

void StationWorker::reloadAlarmStates()
{
    const QString error = failureOf([&]() {
        ensureOpen();
        m_alarms->reload();
    });
    if (!error.isEmpty())
        emit acknowledgeFailed(error);
    emit acknowledged();
}

void StationWorker::finish(int openPort)
{
    m_pacer->stop();
    if (openPort != 0)
        m_bus->comClose(openPort);
    m_cycle.reset();
    m_alarms.reset();
    m_scope.reset();
    m_connection.reset();
}
