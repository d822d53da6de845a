// The schedule runner in the real main window (offscreen):
//   (a) latency from a row's due second to the first byte on the display's pty, over 20 rows due one
//       second apart on the system clock; goal: worst under 100 ms;
//   (b) the cost of one clock tick with 10,000 schedule rows, none of them due; goal under 2 ms.
#include "app/main_window.h"
#include "bench_stats.h"
#include "fake_tray_icon.h"
#include "manual_clock.h"
#include "pty_displays.h"
#include "scheduler/schedule_rules.h"
#include "scripted_prompts.h"
#include "temp_app_folder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int latencyRows = 20;
constexpr int tickRows = 10000;
constexpr int tickRounds = 200;

using bench::median;

// The moments at which a command's first byte arrived: a byte after a quiet spell of 300 ms.
class FirstBytes
{
public:
    explicit FirstBytes(int fd)
        : m_fd(fd)
        , m_thread([this] { run(); })
    { }
    ~FirstBytes()
    {
        m_stop = true;
        m_thread.join();
    }
    std::vector<qint64> arrivals()
    {
        std::lock_guard lock(m_mutex);
        return m_arrivals;
    }

private:
    void run()
    {
        qint64 last = 0;
        char buffer[256];
        while (!m_stop) {
            pollfd poller { m_fd, POLLIN, 0 };
            if (::poll(&poller, 1, 20) <= 0)
                continue;
            const qint64 now = QDateTime::currentMSecsSinceEpoch();
            if (::read(m_fd, buffer, sizeof buffer) <= 0)
                continue;
            if (now - last > 300) {
                std::lock_guard lock(m_mutex);
                m_arrivals.push_back(now);
            }
            last = now;
        }
    }

    int m_fd;
    std::atomic_bool m_stop = false;
    std::mutex m_mutex;
    std::vector<qint64> m_arrivals;
    std::thread m_thread;
};

QByteArray scheduleFile(const QList<QDateTime> &dues)
{
    QByteArray file = "[GROUP_SETTINGS]\r\nGroups=1\r\n1=Lobby%%3~~LG\r\n[SCHEDULE_SETTINGS]\r\nSchedules="
        + QByteArray::number(dues.size()) + "\r\n";
    for (int row = 0; row < dues.size(); ++row) {
        const QByteArray day = scheduleDateText(dues[row].date()).toLatin1();
        const QByteArray time = scheduleTimeText(dues[row].time()).toLatin1();
        file += QByteArray::number(row + 1) + "=Lobby`" + day + '`' + day + '`' + time + '`' + time
            + "`1111111`Monitors ON\r\n";
    }
    return file;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::ScriptedPrompts prompts;
    test::RecordingBusyPointer busy;
    test::FakeTrayIcon tray;

    // (a) On the system clock: rows due 2 to 21 seconds after start.
    std::vector<double> latencyMs;
    {
        test::TempAppFolder folder;
        test::PtyDisplays displays(folder, { 3 });
        FirstBytes firstBytes(displays.display(3).masterFd());
        const QDateTime start = QDateTime::currentDateTime();
        const QDateTime firstDue(start.date(),
                                 QTime(start.time().hour(), start.time().minute(), start.time().second()));
        QList<QDateTime> dues;
        for (int row = 0; row < latencyRows; ++row)
            dues.append(firstDue.addSecs(2 + row));
        folder.writeFile(u"Settings.ini"_s, scheduleFile(dues));
        frmMain window(folder.path(), MainWindowServices { &prompts, &busy, nullptr, &tray });
        QTest::qWait(int(QDateTime::currentDateTime().msecsTo(dues.last())) + 1500);
        const std::vector<qint64> arrivals = firstBytes.arrivals();
        for (size_t row = 0; row < arrivals.size() && row < size_t(dues.size()); ++row)
            latencyMs.push_back(double(arrivals[row] - dues[int(row)].toMSecsSinceEpoch()));
    }

    // (b) Simulated seconds, each tick examining one new second of 10,000 rows.
    std::vector<double> tickMs;
    {
        test::TempAppFolder folder;
        test::ManualClock clock(QDateTime(QDate(2009, 3, 25), QTime(12, 0, 0, 5)));
        QList<QDateTime> dues;
        for (int row = 0; row < tickRows; ++row)
            dues.append(QDateTime(QDate(2009, 3, 24), QTime(0, 0).addSecs(row)));
        folder.writeFile(u"Settings.ini"_s, scheduleFile(dues));
        frmMain window(folder.path(), MainWindowServices { &prompts, &busy, &clock, &tray });
        QTest::qWait(50);
        ScheduleRunner &runner = window.scheduleRunner();
        for (int round = 0; round < tickRounds + 1; ++round) {
            clock.advanceSeconds(1);
            QElapsedTimer timer;
            timer.start();
            runner.runClockTick();
            if (round > 0) // the first tick reads the rows
                tickMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
    }

    const bool allArrived = latencyMs.size() == size_t(latencyRows);
    std::printf("Schedule runner in the main window\n");
    if (latencyMs.empty()) {
        std::printf("(a) no command arrived\n");
    } else {
        std::printf(
            "(a) due second to first byte: median %.1f ms, worst %.1f ms over %zu rows  (goal: worst < 100 ms)\n",
            median(latencyMs), *std::max_element(latencyMs.begin(), latencyMs.end()), latencyMs.size());
    }
    std::printf("(b) clock tick with %d rows: median %.3f ms, worst %.3f ms of %d  (goal < 2 ms)\n", tickRows,
                median(tickMs), *std::max_element(tickMs.begin(), tickMs.end()), tickRounds);
    return allArrived ? 0 : 1;
}
