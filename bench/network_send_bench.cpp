// "Monitors ALL ON" (LG power on, 9 bytes at 9600,n,8,1) to COM 1 to 40 through the executor, in
// alternating rounds: once with Ports.ini naming 40 pseudo-terminals, once naming the same 40 ptys
// behind one ser2net on loopback (rfc2217:// addresses). Prints the median and worst wall time of
// each and the ratio network / local, goal <= 1.15. A thread drains every pty so no write waits.
// A pty drains at once whatever its speed, so the local sends pay no line time; the network sends give
// their bytes the line time at 9600 before ending each connection (about 10 ms a port).
#include "bench_stats.h"
#include "commands/display_models.h"
#include "common/status_log.h"
#include "manual_clock.h"
#include "pty_displays.h"
#include "pty_drain.h"
#include "scheduler/event_executor.h"
#include "scripted_prompts.h"
#include "ser2net_server.h"
#include "serial/serial_link.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int portCount = 40;
constexpr int warmUpRounds = 1;
constexpr int rounds = 9;
constexpr int bytesPerSend = 9; // ka 01 01, CR
constexpr double ratioGoal = 1.15;

class QuietHost : public ExecutorHost
{
public:
    void lockEditingFrames() override { }
    void unlockEditingFrames() override { }
    void focusVolumeBox() override { }
};

// An executor on its own link and application folder, as a main window has one.
struct Sender
{
    explicit Sender(const QString &appFolder)
        : link(PortMap(appFolder))
    {
        commands = ModelCommandSet::initial();
        chooseDisplayModel(commands, u"LG");
        snapshot.modelListText = u"LG"_s;
        for (int com = 1; com <= portCount; ++com)
            snapshot.comPortItems.append(QString::number(com));
        snapshot.lineSettings = { u"9600"_s, u"n"_s, u"8"_s, u"1"_s };
    }

    // One click on "Monitors ALL ON", timed until the run has ended; the COM numbers not reached.
    std::pair<double, int> allOn()
    {
        QElapsedTimer wall;
        wall.start();
        QFuture<CommandReport> report
            = executor.dispatch({ { u"any"_s, u"2"_s, true }, snapshot }, CommandDispatch::Timing::Now);
        if (!report.isFinished()) {
            QFutureWatcher<CommandReport> watcher;
            QEventLoop loop;
            QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
            watcher.setFuture(report);
            loop.exec();
        }
        const double ms = double(wall.nsecsElapsed()) / 1e6;
        return { ms, report.resultCount() ? int(report.result().unreached.size()) : portCount };
    }

    test::ManualClock clock;
    StatusLog statusLog { clock };
    test::ScriptedPrompts prompts;
    test::RecordingBusyPointer busyPointer;
    QuietHost host;
    ModelCommandSet commands;
    SendSnapshot snapshot;
    SerialLink link;
    EventExecutor executor { host, commands, EventExecutor::Services { link, statusLog, prompts, busyPointer } };
};

double worst(const std::vector<double> &values)
{
    return *std::max_element(values.begin(), values.end());
}

const char *verdict(double value)
{
    return value <= ratioGoal ? "PASS" : "MISS";
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    test::TempAppFolder localFolder;
    const test::PtyDisplays displays(localFolder, test::PtyDisplays::range(1, portCount));
    if (!displays.isValid()) {
        std::fprintf(stderr, "could not open %d pseudo-terminals\n", portCount);
        return 1;
    }
    if (!test::Ser2netServer::isInstalled()) {
        std::fprintf(stderr, "ser2net is not installed (scripts/bench installs it)\n");
        return 1;
    }
    QList<test::Ser2netServer::Connection> connections;
    for (const auto &[com, pty] : displays.all())
        connections.append({ pty->devicePath(), test::Ser2netServer::Protocol::Rfc2217, u"9600n81"_s });
    test::Ser2netServer server;
    if (!server.start(connections)) {
        std::fprintf(stderr, "%s\n", qPrintable(server.errorText()));
        return 1;
    }
    test::TempAppFolder networkFolder;
    QByteArray ini = "[COM_PORTS]\r\n";
    for (int i = 0; i < portCount; ++i)
        ini += QByteArray::number(i + 1) + '=' + server.url(i).toUtf8() + "\r\n";
    networkFolder.writeFile(PortMap::fileName(), ini);

    bench::Drain drain(displays.all());
    Sender local(localFolder.path());
    Sender network(networkFolder.path());

    std::vector<double> localMs, networkMs, ratios;
    int unreached = 0;
    long long received[2] = {};
    for (int round = 0; round < warmUpRounds + rounds; ++round) {
        double ms[2] = {};
        Sender *senders[2] = { &local, &network };
        for (int which = 0; which < 2; ++which) {
            const long long before = drain.bytes();
            const auto [wallMs, notReached] = senders[which]->allOn();
            ms[which] = wallMs;
            unreached += notReached;
            // Every byte of the run is on the ptys, and the server has let go of them, before the next.
            const QDeadlineTimer deadline(500);
            while (drain.bytes() < before + portCount * bytesPerSend && !deadline.hasExpired())
                QThread::msleep(2);
            QThread::msleep(50);
            received[which] += drain.bytes() - before;
        }
        if (round < warmUpRounds)
            continue;
        localMs.push_back(ms[0]);
        networkMs.push_back(ms[1]);
        ratios.push_back(ms[1] / ms[0]);
    }

    std::printf("\"Monitors ALL ON\" through the executor, LG (9 bytes at 9600,n,8,1) to COM 1-%d;\n"
                "local: Ports.ini names 40 ptys; network: the same ptys behind one ser2net on loopback (RFC 2217).\n"
                "%d rounds after %d warm-up, alternating\n",
                portCount, rounds, warmUpRounds);
    std::printf("%-26s", "round");
    for (int i = 0; i < rounds; ++i)
        std::printf("%8d", i + 1);
    const auto row = [](const char *label, const std::vector<double> &values, const char *format) {
        std::printf("\n%-26s", label);
        for (double value : values)
            std::printf(format, value);
    };
    row("local (ms)", localMs, "%8.1f");
    row("network (ms)", networkMs, "%8.1f");
    row("network / local", ratios, "%8.3f");
    std::printf("\n\n%-26s%9s%9s\n", "figure", "median", "worst");
    std::printf("%-26s%9.1f%9.1f\n", "local (ms)", bench::median(localMs), worst(localMs));
    std::printf("%-26s%9.1f%9.1f\n", "network (ms)", bench::median(networkMs), worst(networkMs));
    const double medianRatio = bench::median(networkMs) / bench::median(localMs);
    std::printf("%-26s%9.3f%9.3f   goal <= %.2f: median %s, worst round %s\n", "network / local", medianRatio,
                worst(ratios), ratioGoal, verdict(medianRatio), verdict(worst(ratios)));

    const long long total = 1LL * (warmUpRounds + rounds) * portCount * bytesPerSend;
    std::printf("\nbytes received: local %lld of %lld, network %lld of %lld; ports not reached %d\n", received[0],
                total, received[1], total, unreached);
    // ser2net writes every byte to its pty, then flushes the pty when it closes the port. A pty reports
    // its output queue empty while bytes are still on their way to the reading side, so a flush soon
    // after the write can drop them: a property of ptys behind ser2net, counted here, not a failure.
    if (received[1] < total)
        std::printf("network bytes short: %lld (dropped by ser2net's flush of the pty at close)\n",
                    total - received[1]);
    return received[0] == total && unreached == 0 ? 0 : 1;
}
