#include "file_size_limit.h"

#include <QFile>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace vantiro::test {

LimitedRun runWithFileSizeLimit(qint64 limitBytes, const QStringList &arguments, const QString &program)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    // In the child between fork and exec: only calls that are safe there.
    process.setChildProcessModifier([limitBytes] {
        const rlimit limit { rlim_t(limitBytes), rlim_t(limitBytes) };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN); // an ignored signal stays ignored across exec
    });
    process.start(program.isEmpty() ? QFile::symLinkTarget(QStringLiteral("/proc/self/exe")) : program, arguments);
    LimitedRun run;
    run.finished = process.waitForFinished(15000);
    if (!run.finished)
        process.kill();
    process.waitForFinished();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromLocal8Bit(process.readAll());
    return run;
}

QString fileTooLargeReason()
{
    return QString::fromLocal8Bit(std::strerror(EFBIG));
}

} // namespace vantiro::test
