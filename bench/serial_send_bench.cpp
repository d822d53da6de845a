// Sends the LG power-on command to 40 COM numbers mapped to 40 pseudo-terminals, one after
// another as the executor does, and prints side by side:
//   (a) the wall time as a ratio to the floor of 40 x 20 ms (the settle pause after each open),
//   (b) the longest stall of the event loop while the sends ran,
//   (c) the same job done by a plain pyserial script on the same ptys, as a ratio.
#include "bench_stats.h"
#include "pty_displays.h"
#include "pty_drain.h"
#include "serial/serial_link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace vantiro;

namespace {

constexpr int portCount = 40;
constexpr int rounds = 5;
const QString lgPowerOn = QStringLiteral("6B 61 20 30 31 20 30 31 0D");

struct VantiroRun
{
    double wallMs = 0;
    double longestStallMs = 0;
    int failures = 0;
};

VantiroRun runVantiro(SerialLink &link)
{
    // A 1 ms timer stands for the window's events; any gap beyond its interval is a stall.
    QElapsedTimer clock;
    clock.start();
    qint64 lastTickNs = clock.nsecsElapsed();
    qint64 longestGapNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestGapNs = std::max(longestGapNs, now - lastTickNs);
        lastTickNs = now;
    });
    ticker.start();

    VantiroRun run;
    QElapsedTimer wall;
    wall.start();
    for (int com = 1; com <= portCount; ++com) {
        link.configurePort(QStringLiteral("9600,n,8,1"), QString::number(com));
        if (link.sendCommandText(lgPowerOn).status != SendOutcome::Status::Sent)
            ++run.failures;
    }
    run.wallMs = double(wall.nsecsElapsed()) / 1e6;
    ticker.stop();
    run.longestStallMs = std::max(0.0, double(longestGapNs) / 1e6 - 1.0);
    return run;
}

std::optional<double> runPyserial(const QStringList &devices)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), QStringList { QStringLiteral(VANTIRO_PYSERIAL_SCRIPT) } + devices);
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        std::fprintf(stderr, "pyserial run failed: %s\n", python.readAllStandardError().constData());
        return std::nullopt;
    }
    bool ok = false;
    const double ms = python.readAllStandardOutput().trimmed().toDouble(&ok);
    return ok ? std::optional(ms) : std::nullopt;
}

using bench::median;

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    test::TempAppFolder folder;
    test::PtyDisplays displays(folder, test::PtyDisplays::range(1, portCount));
    QStringList devices;
    for (const auto &[com, pty] : displays.all())
        devices.append(pty->devicePath());
    bench::Drain drain(displays.all());

    SerialLink link { PortMap(folder.path()) };
    const double floorMs = portCount * SerialLink::settleTimeMs;
    std::vector<double> vantiroMs, stallMs, pyserialMs;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        const VantiroRun run = runVantiro(link);
        vantiroMs.push_back(run.wallMs);
        stallMs.push_back(run.longestStallMs);
        failures += run.failures;
        if (const auto ms = runPyserial(devices))
            pyserialMs.push_back(*ms);
    }

    const double vantiro = median(vantiroMs);
    const double worstStall = *std::max_element(stallMs.begin(), stallMs.end());
    std::printf("Send LG power on (9 bytes, 9600,n,8,1) to %d COM numbers mapped to ptys; median of %d rounds\n",
                portCount, rounds);
    std::printf("(a) Vantiro wall time      %8.1f ms  ratio to floor of %.0f ms: %.3f  (goal <= 1.10)\n", vantiro,
                floorMs, vantiro / floorMs);
    std::printf("(b) longest event-loop stall %6.2f ms (worst round)                (goal <= 10 ms)\n", worstStall);
    if (pyserialMs.empty()) {
        std::printf("(c) pyserial                 not measured (is python3-serial installed?)\n");
    } else {
        const double pyserial = median(pyserialMs);
        std::printf("(c) pyserial wall time     %8.1f ms  Vantiro / pyserial: %.3f          (goal <= 1.00)\n", pyserial,
                    vantiro / pyserial);
    }
    const long long expectedBytes = 9LL * portCount * rounds * (pyserialMs.empty() ? 1 : 2);
    std::printf("bytes received %lld of %lld, failed sends %d\n", drain.bytes(), expectedBytes, failures);
    return failures == 0 ? 0 : 1;
}
