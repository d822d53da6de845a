// vantiro-send: sends a schedule function to a group, or a quick command to one port, for scripts and other
// automation. The user's running copy (window or background) sends it, behind whatever it is sending; when none
// runs, this program takes the running copy's lock and sends itself, through the same executor and link.
#include "app/app_folder.h"
#include "app/version.h"
#include "common/clock.h"
#include "common/status_log.h"
#include "running_copy/headless_schedule.h"
#include "running_copy/local_requests.h"
#include "running_copy/runtime_folder.h"
#include "running_copy/send_requests.h"
#include "running_copy/single_instance.h"
#include "send_plan.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QJsonDocument>
#include <QThread>

#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using namespace vantiro;
using send::Options;

namespace {

enum Exit { AllReached = 0, NotReached = 1, Usage = 2, NoAnswer = 3 };

// How long a send may take to be answered: it may wait behind a run to every COM port, or behind a message box
// of the window's own send.
constexpr auto sendAnswerTimeout = 60s;
constexpr auto shortAnswerTimeout = 5s;
constexpr auto connectTimeout = 200ms;

bool print(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
    return std::fflush(stream) == 0 && written;
}

void printError(const QString &text)
{
    print(stderr, u"vantiro-send: "_s + text);
}

// Who answered: a running copy with its fields, or nobody (fields of this program's own sending).
struct Copy
{
    QJsonObject fields; // copy, pid, folder, ...
    bool self = false;
};

QString copyText(const Copy &copy)
{
    const QString folder = QDir::toNativeSeparators(copy.fields.value(u"folder"_s).toString());
    if (copy.self)
        return u"no copy of Vantiro runs; vantiro-send sent itself with the application folder "_s + folder;
    return u"the %1 copy of Vantiro (process %2) with the application folder %3"_s.arg(
        copy.fields.value(u"copy"_s).toString(), QString::number(copy.fields.value(u"pid"_s).toInteger()), folder);
}

class Program
{
public:
    explicit Program(Options options)
        : m_options(std::move(options))
    { }

    int run()
    {
        const RuntimeFolder runtime = findRuntimeFolder();
        if (!runtime) {
            printError(runtime.error);
            return NoAnswer;
        }
        m_runtime = runtime.path;
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
            local_requests::AskFailure failure {};
            const std::optional<local_requests::Message> reply = local_requests::ask(
                SingleInstance::serverPath(m_runtime), line, connectTimeout, answerTimeout, &failure);
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
            SingleInstance instance(m_runtime, SingleInstance::Role::Background);
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
        return chooseApplicationFolder(QCoreApplication::applicationDirPath()).path;
    }

    QJsonArray groupsInSettingsFile() const
    {
        const SettingsReading reading = readSettingsForSchedule(applicationFolder() + u"/Settings.ini"_s);
        if (!reading.error.isEmpty())
            printError(u"cannot read %1/Settings.ini: %2"_s.arg(applicationFolder(), reading.error));
        return send_requests::groupsFields(reading.contents.groupRows.value_or(QList<QStringList>()));
    }

    void noteIgnoredFolder(const Copy &copy) const
    {
        if (!copy.self && !m_options.applicationFolder.isEmpty())
            printError(u"--app-folder is not used: the running copy sends with its own folder"_s);
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
            noteIgnoredFolder(copy);
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
            return report(plan, *self, sendAlone(plan, *self));
        const QByteArray line
            = local_requests::line(send_requests::send, send_requests::requestFields(plan.request, plan.what));
        return askOrAlone(
            line, sendAnswerTimeout,
            [&](const Copy &copy, const local_requests::Message &answer) {
                return report(plan, copy, answer.fields.value(u"ports"_s).toArray());
            },
            [&](const Copy &copy) { return report(plan, copy, sendAlone(plan, copy)); });
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

    int report(const send::PlannedSend &plan, const Copy &copy, const QJsonArray &ports)
    {
        noteIgnoredFolder(copy);
        int status = AllReached;
        int reached = 0;
        for (const QJsonValue &port : ports) {
            const QJsonObject fields = port.toObject();
            const QString outcome = fields.value(u"outcome"_s).toString();
            if (outcome == send_requests::sent) {
                ++reached;
                continue;
            }
            const bool counted = !(plan.everyComPort && outcome == send_requests::noDevice);
            if (counted)
                status = NotReached;
            if (!m_options.json)
                printError(u"COM %1 not reached%2: %3"_s.arg(fields.value(u"port"_s).toString(),
                                                             counted ? QString() : u" (not counted)"_s,
                                                             fields.value(u"reason"_s).toString()));
        }
        if (m_options.json) {
            QJsonObject fields = copy.fields;
            fields.insert(u"what"_s, plan.what);
            fields.insert(u"ports"_s, ports);
            fields.insert(u"exit"_s, status);
            return print(stdout, jsonText(fields)) ? status : NotReached;
        }
        print(
            stdout,
            u"%1: %2 of %3 ports reached, by %4."_s.arg(plan.what).arg(reached).arg(ports.size()).arg(copyText(copy)));
        return status;
    }

    static QString jsonText(const QJsonObject &fields)
    {
        return QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact));
    }

    Options m_options;
    QString m_runtime;
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

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Sends a schedule function to a group, or a quick command to one COM port, through the running copy of\n"
        "Vantiro (its window or the background copy), which sends it after whatever it is sending. When no copy\n"
        "runs, vantiro-send sends itself, with the application folder's Settings.ini and Ports.ini.\n\n"
        "  vantiro-send --group Lobby \"Monitors ON\"\n"
        "  vantiro-send --com 3 --model LG \"Set Volume\" --volume 20\n\n"
        "Exit status: 0 every port reached, 1 a port not reached (each on standard error with its reason; the\n"
        "\"All\" functions do not count ports with no device), 2 a usage error or an unknown group, function or\n"
        "model, 3 the running copy did not answer."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption groupOption(u"group"_s, u"The group whose ports get a schedule function."_s, u"G"_s);
    const QCommandLineOption comOption(u"com"_s, u"One COM port (1 to 255) for a quick command, with --model."_s,
                                       u"N"_s);
    const QCommandLineOption modelOption(
        u"model"_s, u"The display model on --com: LG, OLEVIA, HYUNDAI-Vvuon or HYUNDAI-D525ML."_s, u"M"_s);
    const QCommandLineOption volumeOption(u"volume"_s, u"The volume, 0 to 100, for \"Set Volume\"."_s, u"N"_s);
    const QCommandLineOption listOption(u"list"_s, u"Show the groups with their ports and models."_s);
    const QCommandLineOption statusOption(
        u"status"_s, u"Show which copy runs the schedule, whether it is running, and the next event."_s);
    const QCommandLineOption folderOption(
        u"app-folder"_s, u"The application folder to send with when no copy runs (a running copy uses its own)."_s,
        u"DIR"_s);
    const QCommandLineOption jsonOption(u"json"_s, u"Answer with one JSON object on standard output."_s);
    for (const QCommandLineOption &option :
         { groupOption, comOption, modelOption, volumeOption, listOption, statusOption, folderOption, jsonOption })
        parser.addOption(option);
    parser.addPositionalArgument(
        u"FUNCTION"_s,
        u"With --group, a schedule function (\"Monitors ON\", \"LG All Monitors OFF\", ...); with --com, "
        "\"Monitors ON\", \"Monitors OFF\", \"Mute ON\", \"Mute OFF\", \"Auto Config\" or \"Set Volume\"."_s);

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

    std::variant<Options, QString> options = send::readOptions(
        parser.positionalArguments(), parser.value(groupOption), parser.value(comOption), parser.value(modelOption),
        parser.value(volumeOption), parser.isSet(listOption), parser.isSet(statusOption));
    if (const QString *problem = std::get_if<QString>(&options))
        return usageError(*problem);
    Options &chosen = std::get<Options>(options);
    chosen.applicationFolder = parser.value(folderOption);
    chosen.json = parser.isSet(jsonOption);
    return Program(chosen).run();
}
