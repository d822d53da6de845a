// vantiro-send as a whole: sends a schedule function to a group, or a quick command to one port, for scripts and
// other automation, and answers --list, --status, --help and --version. The user's running copy (window or
// background) sends it, behind whatever it is sending; when none runs, this program takes the running copy's lock
// and sends itself, through the same executor and link. The quick start (main.cpp) hands everything but a send
// that a running copy answers over to this program.
#include "app/app_folder.h"
#include "app/version.h"
#include "common/clock.h"
#include "common/status_log.h"
#include "running_copy/headless_schedule.h"
#include "running_copy/local_requests.h"
#include "running_copy/runtime_folder.h"
#include "running_copy/send_command_line.h"
#include "running_copy/send_plan.h"
#include "running_copy/send_requests.h"
#include "running_copy/single_instance.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vantiro;
using namespace vantiro::send;

namespace {

bool write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
    return std::fflush(stream) == 0 && written;
}

bool print(std::FILE *stream, const QString &text)
{
    return write(stream, text + u'\n');
}

void printError(const QString &text)
{
    write(stderr, errorLine(text));
}

// Writes what a send printed; a write that fails counts as a port not reached.
int printOut(const Printed &printed)
{
    const bool errWritten = write(stderr, printed.err);
    return write(stdout, printed.out) && errWritten ? printed.exit : int(NotReached);
}

// The folder of vantiro-send, which the application folder is chosen by: this program is beside it in a build, and
// among the helper programs once installed.
QString programFolder()
{
    const QString own = QCoreApplication::applicationDirPath();
    const QString bin = QDir::cleanPath(QDir(own).filePath(QStringLiteral(VANTIRO_BIN_FROM_LIBEXEC)));
    if (!QFileInfo::exists(own + u"/vantiro-send"_s) && QFileInfo(bin + u"/vantiro-send"_s).isExecutable())
        return bin;
    return own;
}

class Program
{
public:
    explicit Program(Options options)
        : m_options(std::move(options))
    { }

    int run()
    {
        m_runtime = findRuntimeFolder();
        if (!m_runtime) {
            printError(m_runtime.error);
            return NoAnswer;
        }
        switch (m_options.action) {
        case Options::Action::Status:
            return status();
        case Options::Action::List:
            return list();
        case Options::Action::Send:
            break;
        }
        return send();
    }

private:
    enum class Reach { Answered, NoCopy, Failed };

    // Asks the running copy. A copy that is closing is waited for (bounded): then there is none, or the next.
    Reach ask(const QByteArray &line, std::chrono::milliseconds answerTimeout, local_requests::Message &answer)
    {
        const bool takesEffect = line.startsWith(QByteArray(send_requests::send.toUtf8() + ' '));
        std::optional<QDeadlineTimer> closing;
        for (;;) {
            local_requests::AskFailure failure = local_requests::AskFailure::NotListening;
            std::optional<local_requests::Message> reply;
            // Where the user's copy listens may differ from this environment's runtime folder (a cron job).
            for (const QString &folder : runningCopyFolders(m_runtime)) {
                reply = local_requests::ask(SingleInstance::serverPath(folder), line, connectTimeout, answerTimeout,
                                            &failure);
                if (reply || failure != local_requests::AskFailure::NotListening)
                    break;
            }
            // A send the copy took but never answered may have gone out: it is not sent again.
            const bool ending = (reply && reply->word == local_requests::closing)
                || (!reply && failure == local_requests::AskFailure::ClosedUnanswered && !takesEffect);
            if (reply && !ending) {
                answer = *reply;
                if (answer.word == local_requests::ok)
                    return Reach::Answered;
                m_failure = u"the running copy refused the request: "_s + answer.fields.value(u"message"_s).toString();
                return Reach::Failed;
            }
            if (!reply && failure == local_requests::AskFailure::NotListening)
                return Reach::NoCopy;
            if (!ending) {
                m_failure = failure == local_requests::AskFailure::NoAnswer
                    ? u"the running copy did not answer within %1 s"_s.arg(answerTimeout.count() / 1000)
                    : failure == local_requests::AskFailure::ClosedUnanswered
                    ? u"the running copy ended the connection without an answer; the command may have been sent"_s
                    : u"the running copy answered with something unreadable"_s;
                return Reach::Failed;
            }
            if (!closing)
                closing = QDeadlineTimer(SingleInstance::closingWait);
            if (closing->hasExpired()) {
                m_failure = u"the running copy is still closing after %1 s"_s.arg(SingleInstance::closingWait.count());
                return Reach::Failed;
            }
            QThread::msleep(50);
        }
    }

    // Asks the running copy or, when none runs, takes its lock and calls `alone` while holding it. A copy that
    // starts meanwhile is told this one is closing, and so waits for it.
    int askOrAlone(const QByteArray &line, std::chrono::milliseconds answerTimeout,
                   const std::function<int(const Copy &, const local_requests::Message &)> &answered,
                   const std::function<int(const Copy &)> &alone)
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            local_requests::Message answer;
            const Reach reach = ask(line, answerTimeout, answer);
            if (reach == Reach::Answered)
                return answered(Copy { answer.fields, false }, answer);
            if (reach == Reach::Failed) {
                printError(m_failure);
                return NoAnswer;
            }
            SingleInstance instance(m_runtime.path, SingleInstance::Role::Background);
            instance.setUserFolder(m_runtime.stateFolder);
            const SingleInstance::Start start = instance.start();
            if (start == SingleInstance::Start::AnotherRunning)
                continue; // a copy started meanwhile: ask it
            if (start != SingleInstance::Start::First) {
                printError(instance.errorString());
                return start == SingleInstance::Start::AnotherUnreachable ? NoAnswer : NotReached;
            }
            instance.setClosing();
            for (const QString &request : { send_requests::send, send_requests::list })
                instance.server().setHandler(
                    request, [](const local_requests::Message &, const LocalRequestServer::Reply &reply) {
                        reply.answer(local_requests::closing);
                    });
            Copy self { QJsonObject { { u"copy"_s, u"none"_s }, { u"folder"_s, applicationFolder() } }, true };
            return alone(self);
        }
        printError(u"the running copy came and went while it was asked; try again"_s);
        return NoAnswer;
    }

    QString applicationFolder() const
    {
        if (!m_options.applicationFolder.isEmpty())
            return QDir(m_options.applicationFolder).absolutePath();
        return chooseApplicationFolder(programFolder()).path;
    }

    QJsonArray groupsInSettingsFile() const
    {
        const SettingsReading reading = readSettingsForSchedule(applicationFolder() + u"/Settings.ini"_s);
        if (!reading.error.isEmpty())
            printError(u"cannot read %1/Settings.ini: %2"_s.arg(applicationFolder(), reading.error));
        return send_requests::groupsFields(reading.contents.groupRows.value_or(QList<QStringList>()));
    }

    int status()
    {
        return askOrAlone(
            local_requests::line(local_requests::status), shortAnswerTimeout,
            [this](const Copy &copy, const local_requests::Message &answer) {
                if (m_options.json)
                    return print(stdout, jsonText(answer.fields)) ? AllReached : NotReached;
                const QJsonObject &fields = copy.fields;
                print(stdout,
                      u"Vantiro runs %1 (process %2), application folder %3."_s.arg(
                          fields.value(u"copy"_s).toString() == u"background"_s ? u"in the background"_s
                                                                                : u"with its window"_s,
                          QString::number(fields.value(u"pid"_s).toInteger()),
                          QDir::toNativeSeparators(fields.value(u"folder"_s).toString())));
                print(stdout, u"Schedule: "_s + fields.value(u"schedule"_s).toString() + u'.');
                if (fields.contains(u"next"_s))
                    print(stdout, fields.value(u"next"_s).toString());
                return AllReached;
            },
            [this](const Copy &) {
                if (m_options.json)
                    print(stdout, jsonText(QJsonObject { { u"copy"_s, u"none"_s }, { u"schedule"_s, u"stopped"_s } }));
                else
                    print(stdout, u"No copy of Vantiro runs: the schedule is not running."_s);
                return AllReached;
            });
    }

    int list()
    {
        const auto show = [this](const Copy &copy, const QJsonArray &groups) {
            write(stderr, ignoredFolderNote(m_options, copy));
            if (m_options.json) {
                QJsonObject fields = copy.fields;
                fields.insert(u"groups"_s, groups);
                return print(stdout, jsonText(fields)) ? AllReached : NotReached;
            }
            for (const QJsonValue &group : groups) {
                const QJsonObject fields = group.toObject();
                QStringList ports;
                for (const QJsonValue &port : fields.value(u"ports"_s).toArray())
                    ports.append(u"COM "_s + port.toObject().value(u"com"_s).toString() + u' '
                                 + port.toObject().value(u"model"_s).toString());
                print(stdout,
                      fields.value(u"name"_s).toString() + u": "_s
                          + (ports.isEmpty() ? u"no ports"_s : ports.join(u", "_s)));
            }
            return AllReached;
        };
        return askOrAlone(
            local_requests::line(send_requests::list), shortAnswerTimeout,
            [&](const Copy &copy, const local_requests::Message &answer) {
                return show(copy, answer.fields.value(u"groups"_s).toArray());
            },
            [&](const Copy &copy) { return show(copy, groupsInSettingsFile()); });
    }

    int send()
    {
        if (!m_options.group.isEmpty())
            return sendToGroup();
        const std::variant<send::PlannedSend, QString> plan
            = send::planQuickCommand(m_options.name, *m_options.com, m_options.model, m_options.volume);
        if (const QString *problem = std::get_if<QString>(&plan)) {
            printError(*problem);
            return Usage;
        }
        return sendPlanned(std::get<send::PlannedSend>(plan), nullptr);
    }

    // The group's ports come from the running copy's group table, or from Settings.ini when none runs.
    int sendToGroup()
    {
        const auto plan = [this](const QJsonArray &groups) -> std::variant<send::PlannedSend, QString> {
            const std::optional<QJsonArray> ports = send::groupPorts(groups, m_options.group);
            if (!ports)
                return u"unknown group \"%1\""_s.arg(m_options.group);
            return send::planFunction(m_options.name, m_options.group, *ports);
        };
        // Checked before anything is asked, so a mistyped name costs no round trip.
        const std::variant<send::PlannedSend, QString> check = plan(QJsonArray { QJsonObject {
            { u"name"_s, m_options.group }, { u"ports"_s, QJsonArray { QJsonObject { { u"com"_s, u"1"_s } } } } } });
        if (const QString *problem = std::get_if<QString>(&check)) {
            printError(*problem);
            return Usage;
        }
        return askOrAlone(
            local_requests::line(send_requests::list), shortAnswerTimeout,
            [&](const Copy &, const local_requests::Message &answer) {
                const std::variant<send::PlannedSend, QString> planned
                    = plan(answer.fields.value(u"groups"_s).toArray());
                if (const QString *problem = std::get_if<QString>(&planned)) {
                    printError(*problem);
                    return int(Usage);
                }
                return sendPlanned(std::get<send::PlannedSend>(planned), nullptr);
            },
            [&](const Copy &self) {
                const std::variant<send::PlannedSend, QString> planned = plan(groupsInSettingsFile());
                if (const QString *problem = std::get_if<QString>(&planned)) {
                    printError(*problem);
                    return int(Usage);
                }
                return sendPlanned(std::get<send::PlannedSend>(planned), &self);
            });
    }

    // Through the running copy, or alone when `self` says this program already holds the lock.
    int sendPlanned(const send::PlannedSend &plan, const Copy *self)
    {
        if (self)
            return printOut(report(plan, m_options, *self, sendAlone(plan, *self)));
        const QByteArray line
            = local_requests::line(send_requests::send, send_requests::requestFields(plan.request, plan.what));
        return askOrAlone(
            line, sendAnswerTimeout,
            [&](const Copy &copy, const local_requests::Message &answer) {
                return printOut(report(plan, m_options, copy, answer.fields.value(u"ports"_s).toArray()));
            },
            [&](const Copy &copy) { return printOut(report(plan, m_options, copy, sendAlone(plan, copy))); });
    }

    // The same executor and link as a running copy, with its status log going to the daily log of the folder.
    QJsonArray sendAlone(const send::PlannedSend &plan, const Copy &self)
    {
        SystemClock clock;
        HeadlessSchedule copy(self.fields.value(u"folder"_s).toString(), clock);
        SendRequests requests(copy.executor(), copy.statusLog());
        copy.statusLog().statusMessage(
            u"vantiro-send (process %1, no copy of Vantiro running): %2"_s.arg(QCoreApplication::applicationPid())
                .arg(plan.what));
        QJsonArray outcomes;
        QEventLoop loop;
        requests.send(plan.request, [&](std::optional<QJsonArray> ports) {
            outcomes = ports.value_or(QJsonArray());
            loop.quit();
        });
        loop.exec();
        return outcomes;
    }

    Options m_options;
    RuntimeFolder m_runtime;
    QString m_failure;
};

} // namespace

int main(int argc, char *argv[])
{
#ifdef Q_OS_UNIX
    // Output to a pipe that has closed is a failed write, not the end of a send half-way.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"vantiro-send"_s);
    QCoreApplication::setApplicationVersion(packageVersion());

    CommandLine commandLine;
    QCommandLineParser &parser = commandLine.parser;
    const auto usageError = [&](const QString &text) {
        printError(text);
        print(stderr, u"Try vantiro-send --help."_s);
        return int(Usage);
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(u"help"_s))
        return print(stdout, parser.helpText().trimmed()) ? AllReached : NotReached;
    if (parser.isSet(u"version"_s))
        return print(stdout, u"vantiro-send "_s + packageVersion()) ? AllReached : NotReached;

    const std::variant<Options, QString> options = commandLine.options();
    if (const QString *problem = std::get_if<QString>(&options))
        return usageError(*problem);
    return Program(std::get<Options>(options)).run();
}
