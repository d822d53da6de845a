// Sends the LG power-on command to 40 COM numbers mapped to 40 pseudo-terminals as one run of the
// link, as the executor does for "Monitors ALL ON", and a plain pyserial script does the same job on
// the same ptys in alternate rounds. Printed side by side, median and worst of the rounds:
//   (a) the run's wall time as a ratio to the floor of 40 x 20 ms (the settle pause after each open),
//       on a quiet machine and with a two-job compile running beside it;
//   (b) the longest stall of the event loop while the run went;
//   (c) the run's wall time as a ratio to pyserial's in the same round.
#include "bench_stats.h"
#include "common/event_wait.h"
#include "pty_displays.h"
#include "pty_drain.h"
#include "serial/serial_link.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

using namespace vantiro;

namespace {

constexpr int portCount = 40;
constexpr int rounds = 9;
const QString lgPowerOn = QStringLiteral("6B 61 20 30 31 20 30 31 0D");

struct VantiroRun
{
    double wallMs = 0;
    double longestStallMs = 0;
    int failures = 0;
};

// With `watchStalls`, a 1 ms timer stands for the window's events and any gap beyond its interval is
// a stall. The timer wakes the thread a thousand times a second, which a window does not do, so the
// timed rounds run without it.
VantiroRun runVantiro(SerialLink &link, bool watchStalls = false)
{
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
    if (watchStalls)
        ticker.start();

    QList<PortSend> sends;
    for (int com = 1; com <= portCount; ++com)
        sends.append(PortSend { QString::number(com), QStringLiteral("9600,n,8,1"), Handshaking::None, lgPowerOn });
    VantiroRun run;
    QElapsedTimer wall;
    wall.start();
    const QFuture<PortProgress> progress = link.startRun(sends);
    waitWhileEventsRun(progress, OnQuit::WaitForOtherThread, [&](int begin, int end) {
        for (int i = begin; i < end; ++i) {
            const PortProgress event = progress.resultAt(i);
            if (event.finished && event.outcome.status != SendOutcome::Status::Sent)
                ++run.failures;
        }
    });
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

// Two compilers working without pause beside the benchmark, as a build on the same machine would.
class CompileLoad
{
public:
    CompileLoad()
    {
        const QString job = QStringLiteral(
            "while :; do printf '#include <regex>\\n#include <map>\\n#include <string>\\nint main(){std::regex "
            "r(\"a+b\");std::map<std::string,int> m;return std::regex_match(\"aab\",r)+int(m.size());}' "
            "| c++ -O2 -x c++ - -o /dev/null; done");
        for (auto &process : m_jobs) {
            process = std::make_unique<QProcess>();
            process->start(QStringLiteral("/bin/bash"), { QStringLiteral("-c"), job });
            process->waitForStarted();
        }
        QThread::msleep(500); // the compilers are up to speed
    }
    ~CompileLoad()
    {
        for (auto &process : m_jobs) {
            // The loop's compiler dies with its shell's process group.
            QProcess::execute(
                QStringLiteral("/bin/bash"),
                { QStringLiteral("-c"), QStringLiteral("pkill -P %1; kill %1").arg(process->processId()) });
            process->waitForFinished(3000);
        }
    }

private:
    std::unique_ptr<QProcess> m_jobs[2];
};

struct Series
{
    std::vector<double> vantiroMs, pyserialMs, pairedRatio, stallMs;
    int failures = 0;

    void measure(SerialLink &link, const QStringList &devices)
    {
        for (int round = 0; round < rounds; ++round) {
            const VantiroRun run = runVantiro(link);
            vantiroMs.push_back(run.wallMs);
            failures += run.failures;
            const VantiroRun watched = runVantiro(link, true);
            stallMs.push_back(watched.longestStallMs);
            failures += watched.failures;
            if (const auto ms = runPyserial(devices)) {
                pyserialMs.push_back(*ms);
                pairedRatio.push_back(run.wallMs / *ms);
            }
        }
    }
};

double worst(const std::vector<double> &values)
{
    return *std::max_element(values.begin(), values.end());
}

void print(const char *machine, const Series &series, double floorMs)
{
    const double median = bench::median(series.vantiroMs);
    std::printf("%s machine, %d rounds:\n", machine, rounds);
    std::printf("  (a) Vantiro wall time %7.1f ms median, %7.1f ms worst; ratio to floor of %.0f ms: median %.3f "
                "(goal <= 1.03), worst %.3f (goal <= 1.06)\n",
                median, worst(series.vantiroMs), floorMs, median / floorMs, worst(series.vantiroMs) / floorMs);
    std::printf("  (b) longest event-loop stall %.2f ms (worst round; goal <= 10 ms)\n", worst(series.stallMs));
    if (series.pyserialMs.empty()) {
        std::printf("  (c) pyserial not measured (is python3-serial installed?)\n");
        return;
    }
    std::printf("  (c) pyserial wall time %7.1f ms median, %7.1f ms worst\n", bench::median(series.pyserialMs),
                worst(series.pyserialMs));
    std::printf("      Vantiro / pyserial: %.3f (median of the rounds' ratios, goal <= 0.99), worst %.3f (goal <= "
                "1.02)\n",
                bench::median(series.pairedRatio), worst(series.pairedRatio));
}

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
    runVantiro(link); // warms the caches of the first round
    const double floorMs = portCount * SerialLink::settleTimeMs;

    Series quiet;
    quiet.measure(link, devices);
    Series loaded;
    {
        CompileLoad load;
        loaded.measure(link, devices);
    }

    std::printf("Send LG power on (9 bytes, 9600,n,8,1) to %d COM numbers mapped to ptys as one run, alternating with "
                "a plain pyserial script\n",
                portCount);
    print("Quiet", quiet, floorMs);
    print("Busy (two-job compile beside)", loaded, floorMs);
    const int failures = quiet.failures + loaded.failures;
    std::printf("bytes received %lld, failed sends %d\n", drain.bytes(), failures);
    return failures == 0 ? 0 : 1;
}
