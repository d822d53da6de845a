// vantiro-background: what `vantiro --background` becomes. The window's program links the window toolkit and its
// libraries, which a copy with no window would only carry in memory; so `vantiro --background` replaces itself with
// this program, which links the core alone. It is started with the application folder already chosen.
#include "app/command_line.h"
#include "running_copy/background_copy.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const vantiro::CommandLine line = vantiro::parseCommandLine(arguments);
    if (line.action != vantiro::CommandLine::Action::Background || line.applicationFolder.isEmpty()) {
        std::fputs("vantiro-background is started by vantiro --background; run that instead.\n", stderr);
        return 2;
    }
    return vantiro::runBackgroundProgram(argc, argv, line.applicationFolder);
}
