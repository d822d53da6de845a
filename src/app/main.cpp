#include "app/app_folder.h"
#include "app/desktop_entry.h"
#include "app/main_window.h"
#include "app/notification_area.h"
#include "app/qt_prompts.h"
#include "app/single_instance.h"
#include "app/tray_icon.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantiro"));
    vantiro::tieWindowsToMenuEntry();
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
        // Started from a desktop menu, nobody reads stderr: the reason is shown as well.
        std::fprintf(stderr, "%s\n", qPrintable(instance.errorString()));
        vantiro::QtPrompts(nullptr).inform(instance.errorString(), vantiro::PromptIcon::Critical);
        return 1;
    }

    // On many desktops a click on the icon is never a double-click; there a single one brings the window back. Asked
    // on the session bus when the window first hides, not here, so the start never waits for the bus.
    vantiro::SystemTrayIcon tray(vantiro::programIcon(), vantiro::applicationTitle, [] {
        return vantiro::notificationAreaReportsOnlySingleActivations() ? vantiro::TrayClicks::SingleActivation
                                                                       : vantiro::TrayClicks::DoubleClick;
    });
    // A copy that can write its own folder keeps its files beside it; an installed one in the user's data folder.
    const vantiro::ApplicationFolderChoice folder
        = vantiro::chooseApplicationFolder(QCoreApplication::applicationDirPath());
    if (!folder.error.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(folder.error)); // saves then report their own failure
    vantiro::frmMain window(folder.path, { nullptr, nullptr, nullptr, &tray });
    QObject::connect(&instance, &vantiro::SingleInstance::activationRequested, &window,
                     &vantiro::frmMain::restoreFromAnotherStart);
    // From here until the send in progress has finished, a new start waits for this copy to end.
    QObject::connect(&window, &vantiro::frmMain::programClosing, &instance, &vantiro::SingleInstance::setClosing);
    QObject::connect(&window, &vantiro::frmMain::programEnding, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}
