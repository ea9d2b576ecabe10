// Time of one register read through the link library against kpv-sim on a
// pty, and how long a silent slave holds the caller at 9600 baud.

#include "link/modbus_rtu.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <array>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

constexpr int port = 40;
constexpr int answeringSlave = 1;
constexpr int silentSlave = 2;
constexpr int baud = 9600;
constexpr int delayMs = 64;

void readOneRegister(benchmark::State& state)
{
    std::array<int, 40> buffer{};
    for (auto _ : state) {
        if (mbrtufcn03(port, answeringSlave, 11, 1, buffer.data()) != 1) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(buffer);
    }
}

void silentSlaveTimeout(benchmark::State& state)
{
    // Request (8 bytes) and reply (7 bytes) of 10 bits each at 9600 baud, plus the delay.
    const double boundMs = (8 + 7) * 10 * 1000.0 / baud + delayMs;
    std::array<int, 40> buffer{};
    for (auto _ : state) {
        if (mbrtufcn03(port, silentSlave, 11, 1, buffer.data()) != -1) {
            state.SkipWithError("the silent slave answered");
            break;
        }
    }
    state.counters["bound_ms"] = boundMs;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir portDir;
    qputenv("SPDMON_PORT_DIR", portDir.path().toLocal8Bit());
    QProcess sim;
    sim.start(QStringLiteral(KPV_SIM_PATH),
              {QStringLiteral("--com"), QString::number(port), QString::number(answeringSlave),
               QString::number(silentSlave), QStringLiteral("--command"),
               QStringLiteral("silent %1").arg(silentSlave)});
    // Start commands echo their results first; the port is ready at "open COM<N>".
    bool ready = false;
    while (!ready && (sim.canReadLine() || sim.waitForReadyRead(10000)))
        ready = sim.readLine().startsWith("open COM");
    if (!ready || mbrtuComOpen(port, baud, 8, "n", 1) != 1) {
        std::fprintf(stderr, "bench_link: kpv-sim did not start\n");
        return 1;
    }
    mbrtuSetDelay(delayMs);

    benchmark::RegisterBenchmark("read_one_register/kpv-sim_pty", readOneRegister)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(5)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("silent_slave/9600_8n1_delay64", silentSlaveTimeout)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    mbrtuComClose(port);
    sim.write("quit\n");
    sim.waitForFinished(5000);
    return 0;
}
