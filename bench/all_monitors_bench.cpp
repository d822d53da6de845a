// Clicks "Monitors ALL ON" in the main window with COM 1 to 40 mapped to 40 pseudo-terminals and
// measures, for several rounds, from the click to the end report:
//   (a) the wall time as a ratio to the floor of 40 x 20 ms (the settle pause after each open),
//       goal <= 1.10;
//   (b) the longest stall of the window's event loop, the largest gap between the ticks of a 1 ms
//       timer, goal <= 10 ms.
// The window runs on the offscreen platform; a thread drains every pty so no write ever waits.
#include "app/main_window.h"
#include "bench_stats.h"
#include "common/status_log.h"
#include "fake_tray_icon.h"
#include "manual_clock.h"
#include "pty_displays.h"
#include "pty_drain.h"
#include "scripted_prompts.h"
#include "serial/serial_link.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using namespace vantiro;

namespace {

constexpr int portCount = 40;
constexpr int warmUpRounds = 1;
constexpr int rounds = 7;
constexpr int bytesPerSend = 9; // ka 01 01, CR
constexpr double wallGoal = 1.10;
constexpr double stallGoalMs = 10.0;
const QString endReport = u"Finish sending out command string!"_s;

// The tests' recording prompts, telling the benchmark when a message is shown.
class WatchedPrompts : public test::ScriptedPrompts
{
public:
    PromptAnswer show(const PromptMessage &message) override
    {
        if (onShow)
            onShow(message);
        return ScriptedPrompts::show(message);
    }

    std::function<void(const PromptMessage &)> onShow;
};

struct Round
{
    double wallMs = 0;
    double longestGapMs = 0;
    bool ended = false;
};

// One click on the button, timed until the end report.
Round clickAndTime(QPushButton &button, WatchedPrompts &prompts)
{
    QElapsedTimer clock;
    qint64 lastTickNs = 0;
    qint64 longestGapNs = 0;
    std::optional<qint64> endNs;
    const auto tick = [&](qint64 now) {
        longestGapNs = std::max(longestGapNs, now - lastTickNs);
        lastTickNs = now;
    };

    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] {
        if (!endNs)
            tick(clock.nsecsElapsed());
    });
    prompts.onShow = [&](const PromptMessage &message) {
        if (message.text != endReport || endNs)
            return;
        endNs = clock.nsecsElapsed();
        tick(*endNs);
        loop.quit(); // takes effect once the executor has returned
    };
    QTimer::singleShot(30000, &loop, &QEventLoop::quit); // a send that never ends

    ticker.start();
    clock.start();
    QTest::mouseClick(&button, Qt::LeftButton);
    loop.exec();
    ticker.stop();
    prompts.onShow = nullptr;

    Round round;
    round.ended = endNs.has_value();
    round.wallMs = double(endNs.value_or(clock.nsecsElapsed())) / 1e6;
    round.longestGapMs = double(longestGapNs) / 1e6;
    return round;
}

using bench::median;

double worst(const std::vector<double> &values)
{
    return *std::max_element(values.begin(), values.end());
}

const char *verdict(double value, double goal)
{
    return value <= goal ? "PASS" : "MISS";
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    test::TempAppFolder folder;
    const test::PtyDisplays displays(folder, test::PtyDisplays::range(1, portCount));
    for (const auto &[com, pty] : displays.all()) {
        if (!pty->isValid()) {
            std::fprintf(stderr, "could not open pseudo-terminal %d\n", com);
            return 1;
        }
    }
    bench::Drain drain(displays.all());

    WatchedPrompts prompts;
    test::RecordingBusyPointer busy;
    test::ManualClock clock;
    test::FakeTrayIcon tray;
    frmMain window(folder.path(), MainWindowServices { &prompts, &busy, &clock, &tray });
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(50); // the deferred start-up
    auto *allOn = window.findChild<QPushButton *>(u"cmdCOMSend_2"_s);
    if (!allOn || allOn->text() != u"Monitors ALL ON") {
        std::fprintf(stderr, "no \"Monitors ALL ON\" button\n");
        return 1;
    }

    const double floorMs = portCount * SerialLink::settleTimeMs;
    std::vector<double> ratios, stalls;
    int endReports = 0;
    for (int round = 0; round < warmUpRounds + rounds; ++round) {
        const Round measured = clickAndTime(*allOn, prompts);
        endReports += measured.ended ? 1 : 0;
        // Every byte of the round is on the ptys before the next click.
        const long long expected = (round + 1LL) * portCount * bytesPerSend;
        const QDeadlineTimer deadline(2000);
        while (drain.bytes() < expected && !deadline.hasExpired())
            QTest::qWait(5);
        if (round >= warmUpRounds) {
            ratios.push_back(measured.wallMs / floorMs);
            stalls.push_back(measured.longestGapMs);
        }
    }

    const int totalRounds = warmUpRounds + rounds;
    const QByteArray wallLabel = "wall time / floor of " + QByteArray::number(floorMs) + " ms";
    std::printf("\"Monitors ALL ON\" in the main window, LG (9 bytes at 9600,n,8,1) to COM 1-%d on ptys,\n"
                "from the click to the end report; %d rounds after %d warm-up\n",
                portCount, rounds, warmUpRounds);
    std::printf("%-34s", "round");
    for (int i = 0; i < rounds; ++i)
        std::printf("%8d", i + 1);
    std::printf("\n%-34s", wallLabel.constData());
    for (double ratio : ratios)
        std::printf("%8.3f", ratio);
    std::printf("\n%-34s", "longest event-loop stall (ms)");
    for (double stall : stalls)
        std::printf("%8.2f", stall);
    std::printf("\n\n%-34s%9s%9s%12s%8s%8s\n", "figure", "median", "worst", "goal", "median", "worst");
    std::printf("%-34s%9.3f%9.3f%12s%8s%8s\n", wallLabel.constData(), median(ratios), worst(ratios), "<= 1.10",
                verdict(median(ratios), wallGoal), verdict(worst(ratios), wallGoal));
    std::printf("%-34s%9.2f%9.2f%12s%8s%8s\n", "longest event-loop stall (ms)", median(stalls), worst(stalls), "<= 10",
                verdict(median(stalls), stallGoalMs), verdict(worst(stalls), stallGoalMs));

    int shortPtys = 0;
    for (std::size_t i = 0; i < displays.all().size(); ++i)
        shortPtys += drain.bytes(i) == totalRounds * bytesPerSend ? 0 : 1;
    const qsizetype logLines = window.statusLog().lines().size(); // a line names any port not reached
    std::printf("\nbytes received %lld of %lld, ptys short of bytes %d, end reports %d of %d, status-log lines %lld\n",
                drain.bytes(), 1LL * totalRounds * portCount * bytesPerSend, shortPtys, endReports, totalRounds,
                static_cast<long long>(logLines));
    return shortPtys == 0 && endReports == totalRounds && logLines == 0 ? 0 : 1;
}
