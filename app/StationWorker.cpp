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

#include <algorithm>
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

void StationWorker::startPolling(int port, int nodeReadPeriod, int monitorPeriod, bool lineMode)
{
    m_line.ComNum = port;
    m_lineMode = lineMode;
    // A start follows a stop or the program's start: surges seen next may
    // have come at any time since the last reading.
    if (m_cycle)
        m_cycle->readingsPaused();
    if (lineMode)
        m_pacer->startLinePace(monitorPeriod);
    else
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
    // In line mode one request may write several rows: one result each.
    QVector<PollStepResult> results(1);
    bool requested = true;
    const QString error = failureOf([&]() {
        ensureOpen();
        m_line.ComNum = port;
        if (m_lineMode) {
            results = m_cycle->lineTick();
            requested = m_cycle->lineRequested();
            if (results.isEmpty())
                results.append(PollStepResult());
        } else {
            results.first() = m_cycle->pollTick();
        }
        // Only a step the window refreshes for moves the mark on: a write by
        // another connection is told with the next refresh, whenever it came.
        const auto refreshing = std::find_if(results.begin(), results.end(),
                                             [](const PollStepResult& result) { return result.refresh; });
        if (refreshing != results.end()) {
            const qint64 version = m_connection->dataVersion();
            refreshing->polled.fileChanged = version != m_seenDataVersion;
            m_seenDataVersion = version;
            // The step's own rows come after the mark: no other writer between them.
            for (auto later = refreshing + 1; later != results.end(); ++later)
                later->polled.fileChanged = false;
        }
    });
    if (!error.isEmpty()) {
        results = {PollStepResult()};
        results.first().error = error;
    }
    m_pacer->stepTaken(results.last().passEnded, requested);
    bool wasEmpty = false;
    for (int i = 0; i < results.size(); ++i)
        wasEmpty = m_steps.put(results.at(i), asked && i == results.size() - 1) || wasEmpty;
    if (wasEmpty)
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
