#include "custom/checked_send.h"

#include "serial/command_text.h"
#include "serial/serial_link.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

QString withoutBlanks(QString text)
{
    return text.remove(u' ');
}

CheckedSend refused(Prompts &prompts, const QString &message, PromptIcon icon, const QString &problem)
{
    prompts.inform(message, icon);
    return { std::nullopt, problem };
}

// The link's outcome in the words the main window uses for a port.
QString problemOf(const SendOutcome &outcome, const QString &port, int comNumber)
{
    if (outcome.status == SendOutcome::Status::NotAComNumber)
        return u"COM %1 is not a COM number"_s.arg(port);
    if (!outcome.failed() && outcome.status != SendOutcome::Status::NothingToSend)
        return {};
    return u"COM %1: %2"_s.arg(QString::number(comNumber), outcome.reasonText());
}

SendOutcome send(SerialLink &link, const QString &port, const LineSettings &lineSettings, const QString &command)
{
    // Settings the port cannot take are not replaced by the previous ones: nothing is sent. A port
    // that is no COM number is refused by the link whatever the settings.
    const bool settingsTaken = link.configurePort(lineSettings.joined(), port, Handshaking::None);
    if (!link.hasPort())
        return SendOutcome { SendOutcome::Status::NotAComNumber, {}, 0, {} };
    if (!settingsTaken)
        return SendOutcome { SendOutcome::Status::SettingsRejected, link.devicePath(), 0, {} };
    // A command of no bytes would open the port to write nothing.
    if (parseCommandText(command).isEmpty())
        return SendOutcome { SendOutcome::Status::NothingToSend, link.devicePath(), 0, {} };
    return link.sendCommandText(command);
}

} // namespace

CheckedSend sendWithPortSpec(SerialLink &link, Prompts &prompts, BusyPointer &busyPointer, const QString &portSpec,
                             const QString &command, bool showFinish)
{
    const BusyScope busy(busyPointer);

    if (command.isEmpty())
        return refused(prompts, u"The serial command doesn't exist."_s, PromptIcon::Information, u"no command"_s);

    const QStringList fields = portSpec.split(u',');
    const QString port = withoutBlanks(fields.value(0));
    if (port.isEmpty())
        return refused(prompts, u"Can't find the COM port. Please make sure the setting is correct."_s,
                       PromptIcon::Exclamation, u"no COM port set"_s);

    const LineSettings lineSettings { withoutBlanks(fields.value(1)), withoutBlanks(fields.value(2)),
                                      withoutBlanks(fields.value(3)), withoutBlanks(fields.value(4)) };
    if (const std::optional<QString> missing = lineSettings.firstEmptySetting())
        return refused(prompts,
                       u"Can't find the "_s + *missing + u" setting. Please make sure the setting is correct"_s,
                       PromptIcon::Exclamation, u"no "_s + *missing + u" setting"_s);

    const SendOutcome outcome = send(link, port, lineSettings, command.trimmed());
    const CheckedSend result { outcome, problemOf(outcome, port, link.comNumber()) };
    if (!showFinish)
        return result;
    if (outcome.status == SendOutcome::Status::NotAComNumber)
        prompts.inform(u"The serial command was not sent: \"%1\" is not a COM number."_s.arg(port),
                       PromptIcon::Exclamation);
    else if (!result.sent())
        prompts.inform(u"The serial command was not sent to COM%1: %2."_s.arg(QString::number(link.comNumber()),
                                                                              outcome.reasonText()),
                       PromptIcon::Exclamation);
    else
        prompts.inform(u"Finish sending out command string!"_s);
    return result;
}

} // namespace vantiro
