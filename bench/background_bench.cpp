// The background copy next to the window, both real processes started side by side with the same Settings.ini
// (40 groups, 100 schedule rows, none due while measured), both running the schedule: resident memory once started,
// and the CPU time each spends over 60 idle seconds. Goals: the background copy's memory at most half the
// window's, its CPU time no more than the window's. The window runs on the offscreen platform, the only one a
// machine without a display has; on a desktop its share is larger still.
// An argument gives the idle seconds instead of 60.
#include "temp_app_folder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;
using vantiro::test::TempAppFolder;

namespace {

constexpr int groups = 40;
constexpr int rows = 100;
constexpr int settleSeconds = 5;

QByteArray settingsFile()
{
    QByteArray text = "[GROUP_SETTINGS]\r\nGroups=" + QByteArray::number(groups) + "\r\n";
    for (int group = 1; group <= groups; ++group)
        text += QByteArray::number(group) + "=Group " + QByteArray::number(group) + "%%" + QByteArray::number(group)
            + "~left~LG\r\n";
    // Due in a year's time, every day: the runner examines every row each second, and none fires.
    const QByteArray date = QDate::currentDate().addYears(1).toString(u"MM/dd/yyyy"_s).toLatin1();
    text += "[SCHEDULE_SETTINGS]\r\nSchedules=" + QByteArray::number(rows) + "\r\n";
    for (int row = 1; row <= rows; ++row) {
        const QByteArray time = QTime(row % 24, row % 60, 0).toString(u"HH:mm:ss"_s).toLatin1();
        text += QByteArray::number(row) + "=Group " + QByteArray::number(1 + row % groups) + '`' + date + '`' + date
            + '`' + time + '`' + time + "`1111111`Monitors ON\r\n";
    }
    return text;
}

struct Sample
{
    double cpuSeconds = 0; // time run, all threads, since the start
    double residentMb = 0;
    double proportionalMb = 0; // shared pages counted by the share of each process using them
};

std::optional<double> statusKb(const QByteArray &text, const QByteArray &key)
{
    for (const QByteArray &line : text.split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toDouble();
    }
    return std::nullopt;
}

// The time every thread of the process has run, in nanoseconds (the first field of each thread's schedstat), far
// finer than the clock ticks of /proc/<pid>/stat.
std::optional<double> cpuSeconds(qint64 pid)
{
    const QDir tasks(u"/proc/%1/task"_s.arg(pid));
    const QStringList threads = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (threads.isEmpty())
        return std::nullopt;
    double nanoseconds = 0;
    for (const QString &thread : threads) {
        QFile schedstat(tasks.filePath(thread + u"/schedstat"_s));
        if (schedstat.open(QIODevice::ReadOnly))
            nanoseconds += schedstat.readAll().split(' ').value(0).toDouble();
    }
    return nanoseconds / 1e9;
}

std::optional<Sample> sample(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    QFile rollup(u"/proc/%1/smaps_rollup"_s.arg(pid));
    const std::optional<double> cpu = cpuSeconds(pid);
    if (!cpu || !status.open(QIODevice::ReadOnly))
        return std::nullopt;
    Sample result;
    result.cpuSeconds = *cpu;
    result.residentMb = statusKb(status.readAll(), "VmRSS:").value_or(0) / 1024;
    if (rollup.open(QIODevice::ReadOnly))
        result.proportionalMb = statusKb(rollup.readAll(), "Pss:").value_or(0) / 1024;
    return result;
}

class Copy
{
public:
    Copy(const QStringList &arguments, const QProcessEnvironment &environment)
    {
        m_process.setProcessEnvironment(environment);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral(VANTIRO_PATH), arguments);
        m_process.waitForStarted();
    }
    ~Copy()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 pid() const { return m_process.processId(); }

private:
    QProcess m_process;
};

QProcessEnvironment environmentFor(const QString &runtimeFolder, bool window)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name : { u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s })
        environment.remove(name);
    if (window)
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"XDG_RUNTIME_DIR"_s, runtimeFolder);
    environment.insert(u"VANTIRO_STATE_DIR"_s, runtimeFolder); // not the user's own lock: both copies run at once
    return environment;
}

} // namespace

int main(int argc, char *argv[])
{
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    // Each copy has a runtime folder and an application folder of its own, so both run at once.
    TempAppFolder windowFolder;
    TempAppFolder backgroundFolder;
    QTemporaryDir windowRuntime;
    QTemporaryDir backgroundRuntime;
    for (const QTemporaryDir *runtime : { &windowRuntime, &backgroundRuntime })
        QFile::setPermissions(runtime->path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const TempAppFolder *folder : { &windowFolder, &backgroundFolder })
        folder->writeFile(u"Settings.ini"_s, settingsFile());

    Copy window({ u"--app-folder"_s, windowFolder.path() }, environmentFor(windowRuntime.path(), true));
    Copy background({ u"--background"_s, u"--app-folder"_s, backgroundFolder.path() },
                    environmentFor(backgroundRuntime.path(), false));
    QThread::sleep(settleSeconds);
    const std::optional<Sample> windowStart = sample(window.pid());
    const std::optional<Sample> backgroundStart = sample(background.pid());
    QThread::sleep(idleSeconds);
    const std::optional<Sample> windowEnd = sample(window.pid());
    const std::optional<Sample> backgroundEnd = sample(background.pid());
    if (!window.isRunning() || !background.isRunning() || !windowStart || !backgroundStart || !windowEnd
        || !backgroundEnd) {
        std::printf("a copy ended early or could not be measured\n");
        return 1;
    }

    const double windowCpu = windowEnd->cpuSeconds - windowStart->cpuSeconds;
    const double backgroundCpu = backgroundEnd->cpuSeconds - backgroundStart->cpuSeconds;
    std::printf("Background copy next to the window (offscreen), %d groups, %d schedule rows, running\n", groups, rows);
    std::printf("  start-up CPU:       background %.2f s, window %.2f s\n", backgroundStart->cpuSeconds,
                windowStart->cpuSeconds);
    std::printf("  resident memory:    background %.1f MB, window %.1f MB: ratio %.2f  (goal <= 0.50)\n",
                backgroundEnd->residentMb, windowEnd->residentMb, backgroundEnd->residentMb / windowEnd->residentMb);
    std::printf("  proportional (Pss): background %.1f MB, window %.1f MB: ratio %.2f\n", backgroundEnd->proportionalMb,
                windowEnd->proportionalMb, backgroundEnd->proportionalMb / windowEnd->proportionalMb);
    std::printf("  CPU over %d idle s: background %.3f s, window %.3f s: ratio %.2f  (goal <= 1.00)\n", idleSeconds,
                backgroundCpu, windowCpu, windowCpu > 0 ? backgroundCpu / windowCpu : 0.0);
    const bool met = backgroundEnd->residentMb <= windowEnd->residentMb / 2 && backgroundCpu <= windowCpu;
    return met ? 0 : 1;
}
