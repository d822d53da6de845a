// `vantiro-send --com 3 --model LG "Monitors ON"` through a running copy, next to the same send asked for inside
// that copy. This process is the running copy: the background copy's schedule, executor and link, holding the
// lock and taking requests on the socket, with COM 3 on a pseudo-terminal. In alternate rounds it
//   (a) hands the command to its executor as the window's quick commands do, and
//   (b) starts the vantiro-send process,
// and times each from that moment to the first byte on the pty, read on a thread of its own. Printed: the median
// and best of each, and the differences, which are what a script pays for asking through the socket, process start
// included. Goal: a median difference of at most 15 ms.
#include "bench_stats.h"
#include "common/clock.h"
#include "pty_displays.h"
#include "running_copy/headless_schedule.h"
#include "running_copy/send_requests.h"
#include "running_copy/single_instance.h"
#include "running_copy/send_plan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int rounds = 15;
constexpr double goalMs = 15;

// The time of the first byte on the display since it was last armed.
class FirstByte
{
public:
    explicit FirstByte(int masterFd)
        : m_fd(masterFd)
    {
        m_clock.start();
        m_thread = std::thread([this] { run(); });
    }
    ~FirstByte()
    {
        m_stop = true;
        m_thread.join();
    }
    void arm() { m_arrivedNs = -1; }
    qint64 arrivedNs() const { return m_arrivedNs; }
    qint64 nowNs() const { return m_clock.nsecsElapsed(); }

private:
    void run()
    {
        pollfd poll { m_fd, POLLIN, 0 };
        while (!m_stop) {
            if (::poll(&poll, 1, 10) <= 0)
                continue;
            char buffer[256];
            if (::read(m_fd, buffer, sizeof buffer) > 0 && m_arrivedNs.load() == -1)
                m_arrivedNs = m_clock.nsecsElapsed();
        }
    }

    int m_fd;
    QElapsedTimer m_clock;
    std::atomic<qint64> m_arrivedNs = 0;
    std::atomic_bool m_stop = false;
    std::thread m_thread;
};

// Runs the copy's events until the byte has come and the send has finished; the milliseconds from `startNs`.
double waitForByte(FirstByte &display, qint64 startNs, const std::function<bool()> &finished)
{
    while (display.arrivedNs() < 0 || !finished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    // The rest of the command, and any echo, before the next round.
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 50)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return double(display.arrivedNs() - startNs) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    qputenv("VANTIRO_STATE_DIR", QFile::encodeName(runtime.path())); // not the user's own lock
    QCoreApplication app(argc, argv);

    test::TempAppFolder folder;
    test::PtyDisplays displays(folder, { 3 });
    if (!displays.isValid()) {
        std::fprintf(stderr, "cannot open a pseudo-terminal\n");
        return 1;
    }
    SingleInstance instance(runtime.path(), SingleInstance::Role::Background);
    if (instance.start() != SingleInstance::Start::First) {
        std::fprintf(stderr, "cannot take the lock: %s\n", qPrintable(instance.errorString()));
        return 1;
    }
    SystemClock clock;
    HeadlessSchedule copy(folder.path(), clock);
    registerSendRequests(instance, { copy.executor(), copy.statusLog(), copy.inventory(), copy.schedule() });
    const auto plan = send::planQuickCommand(u"Monitors ON"_s, 3, u"LG"_s, {});
    const CommandRequest &request = std::get<send::PlannedSend>(plan).request;

    FirstByte display(displays.display(3).masterFd());
    std::vector<double> inside;
    std::vector<double> throughProcess;
    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        display.arm();
        qint64 start = display.nowNs();
        const QFuture<CommandReport> done = copy.executor().dispatch(request);
        inside.push_back(waitForByte(display, start, [&] { return done.isFinished(); }));

        display.arm();
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        start = display.nowNs();
        process.start(QStringLiteral(VANTIRO_SEND_PATH),
                      { u"--com"_s, u"3"_s, u"--model"_s, u"LG"_s, u"Monitors ON"_s });
        throughProcess.push_back(waitForByte(display, start, [&] { return process.state() == QProcess::NotRunning; }));
        if (process.exitCode() != 0)
            ++failures;
    }

    // The best round stands for a quiet machine: on a busy one the new process waits for a processor first.
    const double a = bench::median(inside);
    const double b = bench::median(throughProcess);
    const double bestA = *std::min_element(inside.begin(), inside.end());
    const double bestB = *std::min_element(throughProcess.begin(), throughProcess.end());
    std::printf("Start of the request to the first byte on the pty, median and best of %d rounds:\n", rounds);
    std::printf("  asked inside the running copy:            %7.1f ms  %7.1f ms\n", a, bestA);
    std::printf("  vantiro-send process through the socket:  %7.1f ms  %7.1f ms\n", b, bestB);
    std::printf("  difference:                               %7.1f ms  %7.1f ms (goal: at most %.0f ms) %s\n", b - a,
                bestB - bestA, goalMs, b - a <= goalMs ? "met" : "NOT MET");
    if (failures > 0)
        std::printf("  %d vantiro-send runs did not end with 0\n", failures);
    return failures == 0 ? 0 : 1;
}
