#include "app/app_folder.h"
#include "app/autostart.h"
#include "app/command_line.h"
#include "app/desktop_entry.h"
#include "app/main_window.h"
#include "app/notification_area.h"
#include "app/qt_prompts.h"
#include "app/tray_icon.h"
#include "common/console_text.h"
#include "running_copy/background_copy.h"
#include "running_copy/hand_back.h"
#include "running_copy/runtime_folder.h"
#include "running_copy/send_requests.h"
#include "running_copy/single_instance.h"
#include "running_copy/termination_signals.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

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
    return vantiro::printBytes(stream, text.toLocal8Bit());
}

// The folder this program was started from, asked of the system before any application object exists.
QString programFolder()
{
    const QFileInfo program(u"/proc/self/exe"_s);
    return program.exists() ? QFileInfo(program.symLinkTarget()).absolutePath() : QString();
}

// The lean background program: beside this one in a build folder, in the installation's libexec folder when
// installed.
QString backgroundProgram(const QString &folder)
{
    for (const QString &candidate :
         QStringList { u"vantiro-background"_s, QStringLiteral(VANTIRO_LIBEXEC_FROM_BIN "/vantiro-background") }) {
        const QFileInfo program(QDir(folder).filePath(candidate));
        if (program.isFile() && program.isExecutable())
            return program.absoluteFilePath();
    }
    return {};
}

// No window toolkit, no platform plugin, no display server: only what the schedule needs. This process becomes the
// background program, which links the core alone; where that program is missing, it runs here.
int runBackground(int argc, char *argv[], const vantiro::CommandLine &line)
{
    const QString folder = programFolder();
    const vantiro::ApplicationFolderChoice choice = vantiro::applicationFolderFor(line, folder);
    if (!choice.error.isEmpty()) {
        print(stderr, choice.error + u'\n');
        if (!line.applicationFolder.isEmpty())
            return 1;
    }
#ifdef Q_OS_UNIX
    const QString lean = folder.isEmpty() ? QString() : backgroundProgram(folder);
    if (lean.isEmpty()) {
        print(stderr,
              u"The lean background program vantiro-background is neither beside %1 nor in %2; running the schedule "
              "here instead, with the window's libraries in memory.\n"_s.arg(
                  folder.isEmpty() ? u"this program"_s : folder,
                  QDir::cleanPath(QDir(folder).filePath(QStringLiteral(VANTIRO_LIBEXEC_FROM_BIN)))));
    } else {
        const QByteArray path = QFile::encodeName(lean);
        const QByteArray applicationFolder = QFile::encodeName(choice.path);
        const char *arguments[] = { argv[0], "--background", "--app-folder", applicationFolder.constData(), nullptr };
        ::execv(path.constData(), const_cast<char *const *>(arguments));
        print(stderr,
              u"Cannot start %1 (%2); running the schedule here instead.\n"_s.arg(
                  lean, QString::fromLocal8Bit(std::strerror(errno))));
    }
#endif
    return vantiro::runBackgroundProgram(argc, argv, choice.path);
}

// Started from a desktop menu, nobody reads stderr: a reason for not starting is shown as well.
void tellStartProblem(const QString &text, vantiro::PromptIcon icon)
{
    print(stderr, text + u'\n');
    vantiro::QtPrompts(nullptr).inform(text, icon);
}

// A window started while a background copy runs takes the schedule over from it; nothing when it could not (the
// user has been told why), otherwise whether a state came with it.
struct TakeOver
{
    bool tookOver = false;
    std::optional<vantiro::RunnerHandOver> state;
    QString report;
};

std::optional<TakeOver> takeOverFromBackground(vantiro::SingleInstance &instance)
{
    using vantiro::SingleInstance;
    const SingleInstance::RunningCopy copy = instance.runningCopy();
    QString text;
    TakeOver takeOver;
    switch (instance.askHandOver(&text)) {
    case SingleInstance::HandOver::Refused:
        tellStartProblem(vantiro::alreadyRunningText(copy) + u"\n\n"_s
                             + (instance.errorString().isEmpty() ? QString() : instance.errorString() + u' ')
                             + u"To work in the window, stop the background copy first (systemctl --user stop "
                               "vantiro.service, or end process %1), then start Vantiro again."_s.arg(copy.pid),
                         vantiro::PromptIcon::Information);
        return std::nullopt;
    case SingleInstance::HandOver::Ending:
        takeOver.report
            = u"The background copy (process %1) was ending; the schedule starts afresh here."_s.arg(copy.pid);
        return takeOver;
    case SingleInstance::HandOver::HandedOver:
        break;
    }
    takeOver.tookOver = true;
    takeOver.state = vantiro::RunnerHandOver::fromText(text);
    takeOver.report = takeOver.state
        ? u"Took the schedule over from the background copy (process %1): %2 events queued."_s.arg(copy.pid).arg(
            takeOver.state->queued.size())
        : u"Took the schedule over from the background copy (process %1), but what it examined and queued could "
          "not be read: the schedule starts afresh."_s.arg(copy.pid);
    return takeOver;
}

int runWindow(int argc, char *argv[], const vantiro::CommandLine &line)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(vantiro::applicationTitle);
    vantiro::tieWindowsToMenuEntry();
    // The window may sit hidden in the tray while a message box closes; only closing the window ends
    // the program.
    QApplication::setQuitOnLastWindowClosed(false);

    const vantiro::RuntimeFolder runtime = vantiro::findRuntimeFolder();
    if (!runtime) {
        tellStartProblem(runtime.error, vantiro::PromptIcon::Critical);
        return 1;
    }
    if (runtime.stateFolder.isEmpty())
        print(stderr,
              u"Vantiro has no folder for the user's lock ("_s + runtime.stateError
                  + u"); only the lock in the runtime folder keeps a second copy from starting.\n"_s);
    // One copy per user: a second start brings the running copy's window forward and ends without a window of its
    // own. If the running copy does not answer, ending is still right, as two copies would send every event twice.
    // A background copy hands the schedule over and ends, and this start waits for it to end.
    vantiro::SingleInstance instance(runtime.path, vantiro::SingleInstance::Role::Window);
    instance.setUserFolder(runtime.stateFolder);
    vantiro::SingleInstance::Start start = instance.start();
    std::optional<TakeOver> takeOver;
    if (start == vantiro::SingleInstance::Start::AnotherRunning
        && instance.runningCopy().role == vantiro::SingleInstance::Role::Background) {
        takeOver = takeOverFromBackground(instance);
        if (!takeOver)
            return 0;
        start = instance.start();
    }
    if (start == vantiro::SingleInstance::Start::AnotherRunning) {
        const vantiro::SingleInstance::RunningCopy &copy = instance.runningCopy();
        // Another copy came in between the hand-over and this start.
        if (copy.role == vantiro::SingleInstance::Role::Background || takeOver)
            tellStartProblem(vantiro::alreadyRunningText(copy), vantiro::PromptIcon::Information);
        return 0;
    }
    if (start != vantiro::SingleInstance::Start::First) {
        tellStartProblem(instance.errorString(), vantiro::PromptIcon::Critical);
        return 1;
    }
    // A save of the autostart entry that was killed half-way leaves its temporary file there.
    vantiro::Autostart::forThisProgram().removeLeftoverSaves();

    // On many desktops a click on the icon is never a double-click; there a single one brings the window back. Asked
    // on the session bus when the window first hides, not here, so the start never waits for the bus.
    vantiro::SystemTrayIcon tray(vantiro::programIcon(), vantiro::applicationTitle, [] {
        return vantiro::notificationAreaReportsOnlySingleActivations() ? vantiro::TrayClicks::SingleActivation
                                                                       : vantiro::TrayClicks::DoubleClick;
    });
    // A copy that can write its own folder keeps its files beside it; an installed one in the user's data folder.
    const vantiro::ApplicationFolderChoice folder
        = vantiro::applicationFolderFor(line, QCoreApplication::applicationDirPath());
    if (!folder.error.isEmpty())
        print(stderr, folder.error + u'\n'); // saves then report their own failure
    vantiro::frmMain window(folder.path, { nullptr, nullptr, nullptr, &tray });
    if (takeOver) {
        // Before the start-up load runs the schedule, which then goes on from there.
        if (takeOver->state)
            window.scheduleRunner().continueFrom(*takeOver->state);
        window.statusMessage(takeOver->report);
    }
    instance.setApplicationFolder(folder.path);
    instance.setScheduleRunning([&window] { return window.scheduleRunner().isRunning(); });
    vantiro::registerSendRequests(instance, { window.executor(), window.statusLog(), window.inventory(),
                                              window.scheduleTable() });
    QObject::connect(&instance, &vantiro::SingleInstance::requestRefused, &window, &vantiro::frmMain::statusMessage);
    QObject::connect(&instance, &vantiro::SingleInstance::activationRequested, &window,
                     &vantiro::frmMain::restoreFromAnotherStart);
    // From here until the send in progress has finished, a new start waits for this copy to end.
    QObject::connect(&window, &vantiro::frmMain::programClosing, &instance, &vantiro::SingleInstance::setClosing);

    // SIGTERM or SIGINT (a service manager, the end of the session) closes the window as the session's end does.
    vantiro::TerminationSignals termination;
    bool endedBySignal = false;
    QObject::connect(&termination, &vantiro::TerminationSignals::received, &window, [&](int) {
        endedBySignal = true;
        window.closeWithoutAsking();
    });
    // The window has closed and its send has finished: the schedule goes back to a background copy when one ran it
    // before or the user runs it in the background.
    QObject::connect(
        &window, &vantiro::frmMain::programEnding, &app,
        [&] {
            const vantiro::hand_back::Outcome outcome
                = vantiro::hand_back::handBack(window.scheduleRunner(), instance, takeOver && takeOver->tookOver,
                                               QCoreApplication::applicationFilePath(), folder.path);
            if (outcome.attempted) {
                window.statusMessage(outcome.report);
                print(stderr, outcome.report + u'\n');
            }
            // The operator who pressed Close hears of it; the end of a session or a signal must not wait for a box.
            if (outcome.failed && !endedBySignal && !qGuiApp->isSavingSession())
                vantiro::QtPrompts(nullptr).inform(outcome.report, vantiro::PromptIcon::Exclamation);
            QCoreApplication::quit();
        },
        Qt::QueuedConnection);
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
