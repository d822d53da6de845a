#pragma once

#include "running_copy/single_instance.h"

#include <QString>

namespace vantiro {

// `vantiro --background`, once its QCoreApplication is made: the schedule of the application folder's
// Settings.ini run without a window, as the user's one running copy. Status-log lines go to the daily log and to
// standard error. Settings.ini is taken again whenever it changes on disk. SIGTERM or SIGINT ends it with status 0
// once the send on the wire has finished; so does a start while another copy of the user runs (window or
// background), which says so on standard error: a service manager must not restart it in a loop. Other failures
// to start give status 1.
int runBackgroundCopy(const QString &applicationFolder);

// The same with its QCoreApplication made here: the whole background program.
int runBackgroundProgram(int argc, char *argv[], const QString &applicationFolder);

// What a start that found another copy tells the user.
QString alreadyRunningText(const SingleInstance::RunningCopy &copy);

} // namespace vantiro
