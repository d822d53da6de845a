#include "running_copy/send_requests.h"

#include "common/clock.h"
#include "common/status_log.h"
#include "common/text_table_model.h"
#include "inventory/inventory.h"
#include "inventory/records.h"
#include "running_copy/send_command_line.h"
#include "running_copy/single_instance.h"
#include "scheduler/event_executor.h"
#include "scheduler/schedule_editing.h"
#include "serial/port_text.h"

#include <QCoreApplication>
#include <QFuture>
#include <QHash>
#include <QJsonValue>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace send_requests {

namespace {

// A send names at most this many ports: the COM list's 40, or a group's, which no operator makes longer.
constexpr qsizetype maximumPorts = 1000;

QJsonArray textArray(const QStringList &texts)
{
    QJsonArray array;
    for (const QString &text : texts)
        array.append(text);
    return array;
}

std::optional<QStringList> textList(const QJsonValue &value)
{
    if (!value.isArray() || value.toArray().size() > maximumPorts)
        return std::nullopt;
    QStringList texts;
    for (const QJsonValue &item : value.toArray()) {
        if (!item.isString())
            return std::nullopt;
        texts.append(item.toString());
    }
    return texts;
}

// The reasons of the "Not sent to COM 3, 5-40: <reason>" lines, by COM number and, for port texts that name
// none, by text.
struct Reasons
{
    QHash<int, QString> byCom;
    QHash<QString, QString> byText;
};

Reasons reasonsIn(const QStringList &notSentLines)
{
    static const QRegularExpression range(u"^(\\d+)(?:-(\\d+))?$"_s);
    const QString head = u"Not sent to COM "_s;
    Reasons reasons;
    for (const QString &line : notSentLines) {
        const qsizetype start = line.indexOf(head);
        const qsizetype colon = line.indexOf(u": "_s, start + head.size());
        if (start < 0 || colon < 0)
            continue;
        const QString reason = line.mid(colon + 2);
        for (const QString &item : line.mid(start + head.size(), colon - start - head.size()).split(u", "_s)) {
            const QRegularExpressionMatch match = range.match(item);
            if (!match.hasMatch()) {
                reasons.byText.insert(item, reason);
                continue;
            }
            const int first = match.captured(1).toInt();
            const int last = match.hasCaptured(2) ? match.captured(2).toInt() : first;
            for (int com = first; com <= last && com - first < maximumPorts; ++com)
                reasons.byCom.insert(com, reason);
        }
    }
    return reasons;
}

} // namespace

QJsonObject requestFields(const CommandRequest &request, const QString &what)
{
    const SendSnapshot &snapshot = request.snapshot;
    QJsonArray ports;
    for (const GroupPort &port : snapshot.groupPorts)
        ports.append(QJsonObject { { u"com"_s, port.com }, { u"model"_s, port.model } });
    return QJsonObject {
        { u"what"_s, what },
        { u"pid"_s, QCoreApplication::applicationPid() },
        { u"index"_s, request.handOff.pendingCommandIndex },
        { u"command"_s, request.handOff.pendingCommand },
        { u"ports"_s, ports },
        { u"modelList"_s, snapshot.modelListText },
        { u"comPorts"_s, textArray(snapshot.comPortItems) },
        { u"lineSettings"_s, snapshot.lineSettings.joined() },
        { u"volume"_s, snapshot.volumeText },
    };
}

std::variant<CommandRequest, QString> commandRequest(const QJsonObject &fields)
{
    const auto malformed = [](const QString &what) -> QString {
        return u"malformed send request: "_s + what;
    };
    CommandRequest request;
    CommandHandOff &handOff = request.handOff;
    handOff.pendingCommandIndex = fields.value(u"index"_s).toString();
    handOff.pendingCommand = fields.value(u"command"_s).toString();
    handOff.reportToStatusLog = true;
    const CommandOrigin origin = request.origin();
    if (origin != CommandOrigin::GroupPortsOwnModels && origin != CommandOrigin::EveryComPort
        && origin != CommandOrigin::GroupPortsListSettings)
        return malformed(u"\"index\" is not one of \"0\" to \"8\""_s);
    if (handOff.pendingCommand.trimmed().isEmpty())
        return malformed(u"no \"command\""_s);

    SendSnapshot &snapshot = request.snapshot;
    const QJsonValue ports = fields.value(u"ports"_s);
    if (!ports.isArray() || ports.toArray().size() > maximumPorts)
        return malformed(u"\"ports\" is not a list of at most %1 ports"_s.arg(maximumPorts));
    for (const QJsonValue &port : ports.toArray()) {
        const QJsonValue com = port.toObject().value(u"com"_s);
        const QJsonValue model = port.toObject().value(u"model"_s);
        if (!com.isString() || !model.isString())
            return malformed(u"a port without \"com\" and \"model\" texts"_s);
        snapshot.groupPorts.append({ com.toString(), model.toString() });
    }
    const std::optional<QStringList> comPorts = textList(fields.value(u"comPorts"_s));
    if (!comPorts)
        return malformed(u"\"comPorts\" is not a list of at most %1 port texts"_s.arg(maximumPorts));
    snapshot.comPortItems = *comPorts;
    const QStringList settings = fields.value(u"lineSettings"_s).toString().split(u',');
    if (settings.size() != 4)
        return malformed(u"\"lineSettings\" is not four settings joined by commas"_s);
    snapshot.lineSettings = { settings[0], settings[1], settings[2], settings[3] };
    snapshot.modelListText = fields.value(u"modelList"_s).toString();
    snapshot.volumeText = fields.value(u"volume"_s).toString();
    if (portsOf(request).isEmpty())
        return malformed(u"no port to send to"_s);
    return request;
}

QStringList portsOf(const CommandRequest &request)
{
    switch (request.origin()) {
    case CommandOrigin::GroupPortsOwnModels:
    case CommandOrigin::GroupPortsListSettings: {
        QStringList ports;
        for (const GroupPort &port : request.snapshot.groupPorts)
            ports.append(port.com.trimmed());
        return ports;
    }
    case CommandOrigin::EveryComPort:
        return request.snapshot.comPortItems;
    default:
        return {};
    }
}

QJsonArray portOutcomes(const CommandRequest &request, const CommandReport &report, const QStringList &notSentLines)
{
    const Reasons reasons = reasonsIn(notSentLines);
    QJsonArray outcomes;
    for (const QString &port : portsOf(request)) {
        const std::optional<int> com = comPortNumber(port);
        QJsonObject outcome { { u"port"_s, port } };
        if (com)
            outcome.insert(u"com"_s, *com);
        const auto unreached = report.unreached.constFind(com.value_or(0));
        if (unreached == report.unreached.cend()) {
            outcome.insert(u"outcome"_s, sent);
        } else {
            const SendOutcome::Status status = *unreached;
            outcome.insert(u"outcome"_s, status == SendOutcome::Status::NoSuchDevice ? noDevice : notSent);
            const QString reason = com ? reasons.byCom.value(*com) : reasons.byText.value(port);
            outcome.insert(u"reason"_s, reason.isEmpty() ? sendStatusReason(status) : reason);
        }
        outcomes.append(outcome);
    }
    return outcomes;
}

QJsonArray groupsFields(const QList<QStringList> &groupRows)
{
    QJsonArray groups;
    for (const QStringList &row : groupRows) {
        QJsonArray ports;
        for (const PortEntry &port : unpackPorts(row.value(2)))
            ports.append(QJsonObject { { u"com"_s, port.port }, { u"model"_s, port.model }, { u"note"_s, port.note } });
        groups.append(QJsonObject { { u"name"_s, row.value(0) }, { u"note"_s, row.value(1) }, { u"ports"_s, ports } });
    }
    return groups;
}

} // namespace send_requests

struct SendRequests::Waiting
{
    CommandRequest request;
    QFuture<CommandReport> completion;
    std::function<void(std::optional<QJsonArray>)> done;
};

SendRequests::SendRequests(EventExecutor &executor, StatusLog &statusLog, QObject *parent)
    : QObject(parent)
    , m_executor(executor)
{
    connect(&statusLog, &StatusLog::lineLogged, this, [this](const QDateTime &, const QString &line) {
        if (line.contains(u"Not sent to COM "_s) && m_notSentLines.size() < send_requests::maximumPorts)
            m_notSentLines.append(line);
    });
    // Emitted right after each run's completion has finished and before the next run starts, so the lines
    // gathered belong to the one run whose completion has just finished.
    connect(&executor, &EventExecutor::commandExecuted, this, &SendRequests::runFinished);
}

void SendRequests::send(const CommandRequest &request, std::function<void(std::optional<QJsonArray>)> done)
{
    // On the executor's next tick, as the window's buttons send: never a run nested in the caller's handler, and
    // the completion is known here before the run starts.
    auto waiting = std::make_shared<Waiting>(Waiting { request, {}, std::move(done) });
    waiting->request.fromOutside = true;
    waiting->completion = m_executor.dispatch(waiting->request, CommandDispatch::Timing::NextTick);
    m_waiting.append(waiting);
    // A completion that finishes without a report was dropped, as the executor is going. One with a report is
    // answered when its run has finished (the continuation may run before the executor says so).
    waiting->completion.then(this, [this, waiting](const QFuture<CommandReport> &completion) {
        if (completion.resultCount() == 0 && m_waiting.removeOne(waiting))
            waiting->done(std::nullopt);
    });
}

void SendRequests::runFinished()
{
    const QStringList lines = std::exchange(m_notSentLines, {});
    for (qsizetype i = 0; i < m_waiting.size(); ++i) {
        const std::shared_ptr<Waiting> waiting = m_waiting.at(i);
        if (!waiting->completion.isFinished() || waiting->completion.resultCount() == 0)
            continue;
        m_waiting.removeAt(i);
        waiting->done(send_requests::portOutcomes(waiting->request, waiting->completion.result(), lines));
        return;
    }
}

void registerSendRequests(SingleInstance &instance, const SendRequestServices &services)
{
    auto *requests = new SendRequests(services.executor, services.statusLog, &instance);
    StatusLog *log = &services.statusLog;
    const TextTableModel *schedule = &services.schedule;
    const TextTableModel *groups = &services.inventory.groups();
    instance.setNextEvent([schedule, log] { return nextEventText(*schedule, log->clock().now()); });

    // Sends one request behind whatever the copy is sending and answers with what `answered` makes of the ports.
    const auto carryOut = [requests, log](const CommandRequest &request, const QString &what, qint64 pid,
                                          const LocalRequestServer::Reply &reply,
                                          std::function<void(const QJsonArray &)> answered) {
        log->statusMessage(u"vantiro-send (process %1): %2"_s.arg(pid).arg(what.left(200)));
        requests->send(request, [reply, answered = std::move(answered)](std::optional<QJsonArray> ports) {
            if (ports)
                answered(*ports);
            else
                reply.answer(local_requests::closing);
        });
    };

    LocalRequestServer &server = instance.server();
    server.setHandler(send_requests::send,
                      [&instance, carryOut](const local_requests::Message &message,
                                            const LocalRequestServer::Reply &reply) {
                          if (instance.isClosing()) {
                              reply.answer(local_requests::closing);
                              return;
                          }
                          const std::variant<CommandRequest, QString> request
                              = send_requests::commandRequest(message.fields);
                          if (const QString *problem = std::get_if<QString>(&request)) {
                              reply.error(*problem);
                              return;
                          }
                          carryOut(std::get<CommandRequest>(request), message.fields.value(u"what"_s).toString(),
                                   message.fields.value(u"pid"_s).toInteger(), reply,
                                   [&instance, reply](const QJsonArray &ports) {
                                       QJsonObject fields = instance.statusFields();
                                       fields.insert(u"ports"_s, ports);
                                       reply.answer(local_requests::ok, fields);
                                   });
                      });
    server.setHandler(
        send_requests::sendArguments,
        [&instance, carryOut, groups](const local_requests::Message &message, const LocalRequestServer::Reply &reply) {
            if (instance.isClosing()) {
                reply.answer(local_requests::closing);
                return;
            }
            const std::variant<send::Sending, QString> sending
                = send::sendingOf(message.fields.value(u"args"_s), send_requests::groupsFields(groups->allRows()));
            if (const QString *problem = std::get_if<QString>(&sending)) {
                reply.error(*problem);
                return;
            }
            const send::Sending &planned = std::get<send::Sending>(sending);
            carryOut(planned.plan.request, planned.plan.what, message.fields.value(u"pid"_s).toInteger(), reply,
                     [&instance, reply, planned](const QJsonArray &ports) {
                         const send::Printed printed = send::report(planned.plan, planned.options,
                                                                    send::Copy { instance.statusFields(), false }, ports);
                         reply.answer(local_requests::ok, QJsonObject { { u"exit"_s, printed.exit },
                                                                        { u"out"_s, printed.out },
                                                                        { u"err"_s, printed.err } });
                     });
        });
    server.setHandler(send_requests::list,
                      [&instance, groups](const local_requests::Message &, const LocalRequestServer::Reply &reply) {
                          if (instance.isClosing()) {
                              reply.answer(local_requests::closing);
                              return;
                          }
                          QJsonObject fields = instance.statusFields();
                          fields.insert(u"groups"_s, send_requests::groupsFields(groups->allRows()));
                          reply.answer(local_requests::ok, fields);
                      });
}

} // namespace vantiro
