#include "app/app_folder.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/notification_area.h"
#include "app/qt_prompts.h"
#include "app/tray_icon.h"
#include "running_copy/background_copy.h"
#include "running_copy/runtime_folder.h"
#include "running_copy/single_instance.h"

#include <QApplication>
#include <QDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// False when the text could not be written whole (a full disk, a closed pipe).
bool print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
    return std::fflush(stream) == 0 && written;
}

// The folder --app-folder names, created when missing, or else the usual choice.
vantiro::ApplicationFolderChoice applicationFolder(const vantiro::CommandLine &line)
{
    if (line.applicationFolder.isEmpty())
        return vantiro::chooseApplicationFolder(QCoreApplication::applicationDirPath());
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(line.applicationFolder));
    if (!QDir().mkpath(path))
        return { path, true, u"The folder %1 could not be created."_s.arg(QDir::toNativeSeparators(path)) };
    return { path, true, {} };
}

// No window toolkit, no platform plugin, no display server: only what the schedule needs.
int runBackground(int argc, char *argv[], const vantiro::CommandLine &line)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(vantiro::applicationTitle);
    const vantiro::ApplicationFolderChoice folder = applicationFolder(line);
    if (!folder.error.isEmpty()) {
        print(stderr, folder.error + u'\n');
        return 1;
    }
    return vantiro::runBackgroundCopy(folder.path);
}

// Started from a desktop menu, nobody reads stderr: a reason for not starting is shown as well.
void tellStartProblem(const QString &text, vantiro::PromptIcon icon)
{
    print(stderr, text + u'\n');
    vantiro::QtPrompts(nullptr).inform(text, icon);
}

int runWindow(int argc, char *argv[], const vantiro::CommandLine &line)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(vantiro::applicationTitle);
    // The window may sit hidden in the tray while a message box closes; only closing the window ends
    // the program.
    QApplication::setQuitOnLastWindowClosed(false);

    const vantiro::RuntimeFolder runtime = vantiro::findRuntimeFolder();
    if (!runtime) {
        tellStartProblem(runtime.error, vantiro::PromptIcon::Critical);
        return 1;
    }
    // One copy per user: a second start brings the running copy's window forward and ends without a window of its
    // own. If the running copy does not answer, ending is still right, as two copies would send every event twice.
    vantiro::SingleInstance instance(runtime.path, vantiro::SingleInstance::Role::Window);
    const vantiro::SingleInstance::Start start = instance.start();
    if (start == vantiro::SingleInstance::Start::AnotherRunning) {
        const vantiro::SingleInstance::RunningCopy &copy = instance.runningCopy();
        if (copy.role == vantiro::SingleInstance::Role::Background)
            tellStartProblem(vantiro::alreadyRunningText(copy)
                                 + u"\n\nTo work in the window, stop the background copy first (systemctl --user stop "
                                   "vantiro.service, or end process %1), then start Vantiro again."_s.arg(copy.pid),
                             vantiro::PromptIcon::Information);
        return 0;
    }
    if (start != vantiro::SingleInstance::Start::First) {
        tellStartProblem(instance.errorString(), vantiro::PromptIcon::Critical);
        return 1;
    }

    // On many desktops a click on the icon is never a double-click; there a single one brings the window back. Asked
    // on the session bus when the window first hides, not here, so the start never waits for the bus.
    vantiro::SystemTrayIcon tray(vantiro::programIcon(), vantiro::applicationTitle, [] {
        return vantiro::notificationAreaReportsOnlySingleActivations() ? vantiro::TrayClicks::SingleActivation
                                                                       : vantiro::TrayClicks::DoubleClick;
    });
    // A copy that can write its own folder keeps its files beside it; an installed one in the user's data folder.
    const vantiro::ApplicationFolderChoice folder = applicationFolder(line);
    if (!folder.error.isEmpty())
        print(stderr, folder.error + u'\n'); // saves then report their own failure
    vantiro::frmMain window(folder.path, { nullptr, nullptr, nullptr, &tray });
    instance.setApplicationFolder(folder.path);
    instance.setScheduleRunning([&window] { return window.scheduleRunner().isRunning(); });
    QObject::connect(&instance, &vantiro::SingleInstance::requestRefused, &window, &vantiro::frmMain::statusMessage);
    QObject::connect(&instance, &vantiro::SingleInstance::activationRequested, &window,
                     &vantiro::frmMain::restoreFromAnotherStart);
    // From here until the send in progress has finished, a new start waits for this copy to end.
    QObject::connect(&window, &vantiro::frmMain::programClosing, &instance, &vantiro::SingleInstance::setClosing);
    QObject::connect(&window, &vantiro::frmMain::programEnding, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    // Read before any application object is made: the background copy must not load a window toolkit.
    const vantiro::CommandLine line = vantiro::parseCommandLine(argumentsOf(argc, argv));
    switch (line.action) {
    case vantiro::CommandLine::Action::Help:
        return print(stdout, vantiro::usageText()) ? 0 : 1;
    case vantiro::CommandLine::Action::Version:
        return print(stdout, vantiro::versionText() + u'\n') ? 0 : 1;
    case vantiro::CommandLine::Action::UsageError:
        print(stderr, u"vantiro: "_s + line.error + u"\n\n"_s + vantiro::usageText());
        return 2;
    case vantiro::CommandLine::Action::Background:
        return runBackground(argc, argv, line);
    case vantiro::CommandLine::Action::Window:
        break;
    }
    return runWindow(argc, argv, line);
}
