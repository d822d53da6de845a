#include "app/main_window.h"
#include "app/single_instance.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantiro"));
    // The window may sit hidden in the tray while a message box closes; only closing the window ends
    // the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // One copy per user: a second start brings the running copy's window forward and ends without a window of its
    // own. If the running copy does not answer, ending is still right, as two copies would send every event twice.
    vantiro::SingleInstance instance;
    const vantiro::SingleInstance::Start start = instance.start();
    if (start == vantiro::SingleInstance::Start::AnotherRunning)
        return 0;
    if (start != vantiro::SingleInstance::Start::First) {
        std::fprintf(stderr, "%s\n", qPrintable(instance.errorString()));
        return 1;
    }

    // Every file of the program lives beside the executable.
    vantiro::frmMain window(QCoreApplication::applicationDirPath());
    QObject::connect(&instance, &vantiro::SingleInstance::activationRequested, &window,
                     &vantiro::frmMain::restoreFromAnotherStart);
    QObject::connect(&window, &vantiro::frmMain::programEnding, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}
