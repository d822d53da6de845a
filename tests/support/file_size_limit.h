#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vantiro::test {

// What a program run under a file size limit did.
struct LimitedRun
{
    bool finished = false; // within the time allowed
    int exitCode = -1;
    QString output; // standard output and error, as the program printed them
};

// Runs a program whose files cannot grow past limitBytes (RLIMIT_FSIZE), with SIGXFSZ ignored, so that a
// write past the limit fails with EFBIG as one on a full disk fails with ENOSPC. The program is this
// test program itself unless named.
LimitedRun runWithFileSizeLimit(qint64 limitBytes, const QStringList &arguments, const QString &program = {});

// The system's own words for the failure such a write gets.
QString fileTooLargeReason();

} // namespace vantiro::test
