#include "running_copy/send_command_line.h"

#include "running_copy/send_requests.h"

#include <QDir>
#include <QJsonDocument>

using namespace Qt::StringLiterals;

namespace vantiro::send {

namespace {

QString copyText(const Copy &copy)
{
    const QString folder = QDir::toNativeSeparators(copy.fields.value(u"folder"_s).toString());
    if (copy.self)
        return u"no copy of Vantiro runs; vantiro-send sent itself with the application folder "_s + folder;
    return u"the %1 copy of Vantiro (process %2) with the application folder %3"_s.arg(
        copy.fields.value(u"copy"_s).toString(), QString::number(copy.fields.value(u"pid"_s).toInteger()), folder);
}

} // namespace

CommandLine::CommandLine()
    : group(u"group"_s, u"The group whose ports get a schedule function."_s, u"G"_s)
    , com(u"com"_s, u"One COM port (1 to 255) for a quick command, with --model."_s, u"N"_s)
    , model(u"model"_s, u"The display model on --com: LG, OLEVIA, HYUNDAI-Vvuon or HYUNDAI-D525ML."_s, u"M"_s)
    , volume(u"volume"_s, u"The volume, 0 to 100, for \"Set Volume\"."_s, u"N"_s)
    , list(u"list"_s, u"Show the groups with their ports and models."_s)
    , status(u"status"_s, u"Show which copy runs the schedule, whether it is running, and the next event."_s)
    , applicationFolder(u"app-folder"_s,
                        u"The application folder to send with when no copy runs (a running copy uses its own)."_s,
                        u"DIR"_s)
    , json(u"json"_s, u"Answer with one JSON object on standard output."_s)
{
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
    for (const QCommandLineOption &option : { group, com, model, volume, list, status, applicationFolder, json })
        parser.addOption(option);
    parser.addPositionalArgument(
        u"FUNCTION"_s,
        u"With --group, a schedule function (\"Monitors ON\", \"LG All Monitors OFF\", ...); with --com, "
        "\"Monitors ON\", \"Monitors OFF\", \"Mute ON\", \"Mute OFF\", \"Auto Config\" or \"Set Volume\"."_s);
}

std::variant<Options, QString> CommandLine::options() const
{
    std::variant<Options, QString> read
        = readOptions(parser.positionalArguments(), parser.value(group), parser.value(com), parser.value(model),
                      parser.value(volume), parser.isSet(list), parser.isSet(status));
    if (Options *chosen = std::get_if<Options>(&read)) {
        chosen->applicationFolder = parser.value(applicationFolder);
        chosen->json = parser.isSet(json);
    }
    return read;
}

std::variant<Sending, QString> sendingOf(const QJsonValue &arguments, const QJsonArray &groups)
{
    // Far more than any send's arguments take.
    constexpr qsizetype maximumArguments = 64;
    const QString malformed = u"malformed request: \"args\" is not a list of at most %1 texts"_s.arg(maximumArguments);
    if (!arguments.isArray() || arguments.toArray().size() > maximumArguments)
        return malformed;
    QStringList words { u"vantiro-send"_s };
    for (const QJsonValue &word : arguments.toArray()) {
        if (!word.isString())
            return malformed;
        words.append(word.toString());
    }
    CommandLine commandLine;
    if (!commandLine.parser.parse(words))
        return commandLine.parser.errorText();
    if (commandLine.parser.isSet(u"help"_s) || commandLine.parser.isSet(u"version"_s))
        return u"not a send: --help and --version"_s;
    std::variant<Options, QString> read = commandLine.options();
    if (const QString *problem = std::get_if<QString>(&read))
        return *problem;
    Sending sending { std::get<Options>(read), {} };
    if (sending.options.action != Options::Action::Send)
        return u"not a send: --list and --status"_s;
    std::variant<PlannedSend, QString> plan;
    if (sending.options.group.isEmpty()) {
        plan = planQuickCommand(sending.options.name, *sending.options.com, sending.options.model,
                                sending.options.volume);
    } else if (const std::optional<QJsonArray> ports = groupPorts(groups, sending.options.group)) {
        plan = planFunction(sending.options.name, sending.options.group, *ports);
    } else {
        return u"unknown group \"%1\""_s.arg(sending.options.group);
    }
    if (const QString *problem = std::get_if<QString>(&plan))
        return *problem;
    sending.plan = std::get<PlannedSend>(std::move(plan));
    return sending;
}

QString errorLine(const QString &text)
{
    return u"vantiro-send: "_s + text + u'\n';
}

QString ignoredFolderNote(const Options &options, const Copy &copy)
{
    if (!copy.self && !options.applicationFolder.isEmpty())
        return errorLine(u"--app-folder is not used: the running copy sends with its own folder"_s);
    return {};
}

Printed report(const PlannedSend &plan, const Options &options, const Copy &copy, const QJsonArray &ports)
{
    Printed printed { AllReached, {}, ignoredFolderNote(options, copy) };
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
            printed.exit = NotReached;
        if (!options.json)
            printed.err += errorLine(u"COM %1 not reached%2: %3"_s.arg(fields.value(u"port"_s).toString(),
                                                                       counted ? QString() : u" (not counted)"_s,
                                                                       fields.value(u"reason"_s).toString()));
    }
    if (options.json) {
        QJsonObject fields = copy.fields;
        fields.insert(u"what"_s, plan.what);
        fields.insert(u"ports"_s, ports);
        fields.insert(u"exit"_s, printed.exit);
        printed.out = jsonText(fields) + u'\n';
        return printed;
    }
    printed.out = u"%1: %2 of %3 ports reached, by %4.\n"_s.arg(plan.what).arg(reached).arg(ports.size()).arg(
        copyText(copy));
    return printed;
}

QString jsonText(const QJsonObject &fields)
{
    return QString::fromUtf8(QJsonDocument(fields).toJson(QJsonDocument::Compact));
}

} // namespace vantiro::send
