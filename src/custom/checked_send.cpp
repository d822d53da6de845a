#include "custom/checked_send.h"

#include "serial/serial_link.h"

#include <QStringList>

namespace vantiro {

namespace {

QString withoutBlanks(QString text)
{
    return text.remove(u' ');
}

} // namespace

std::optional<SendOutcome> sendWithPortSpec(SerialLink &link, Prompts &prompts, BusyPointer &busyPointer,
                                            const QString &portSpec, const QString &command, bool showFinish)
{
    const BusyScope busy(busyPointer);

    if (command.isEmpty()) {
        prompts.inform(QStringLiteral("The serial command doesn't exist."), PromptIcon::Information);
        return std::nullopt;
    }

    const QStringList fields = portSpec.split(u',');
    const QString port = withoutBlanks(fields.value(0));
    if (port.isEmpty()) {
        prompts.inform(QStringLiteral("Can't find the COM port. Please make sure the setting is correct."),
                       PromptIcon::Exclamation);
        return std::nullopt;
    }

    const LineSettings lineSettings { withoutBlanks(fields.value(1)), withoutBlanks(fields.value(2)),
                                      withoutBlanks(fields.value(3)), withoutBlanks(fields.value(4)) };
    if (const std::optional<QString> missing = lineSettings.firstEmptySetting()) {
        prompts.inform(QStringLiteral("Can't find the ") + *missing
                           + QStringLiteral(" setting. Please make sure the setting is correct"),
                       PromptIcon::Exclamation);
        return std::nullopt;
    }

    // Settings the port cannot take are not replaced by the previous ones: nothing is sent. A port
    // that is no COM number is refused by the link whatever the settings.
    const bool settingsTaken = link.configurePort(lineSettings.joined(), port, Handshaking::None);
    const SendOutcome outcome = settingsTaken || !link.hasPort()
        ? link.sendCommandText(command.trimmed())
        : SendOutcome { SendOutcome::Status::SettingsRejected, link.devicePath(), 0, {} };
    if (!showFinish)
        return outcome;
    // A command of no bytes ("XYZ", a lone "_") reached no display either.
    if (outcome.status == SendOutcome::Status::NotAComNumber)
        prompts.inform(QStringLiteral("The serial command was not sent: \"%1\" is not a COM number.").arg(port),
                       PromptIcon::Exclamation);
    else if (outcome.failed() || outcome.status == SendOutcome::Status::NothingToSend)
        prompts.inform(QStringLiteral("The serial command was not sent to COM%1: %2.")
                           .arg(QString::number(link.comNumber()), outcome.reasonText()),
                       PromptIcon::Exclamation);
    else
        prompts.inform(QStringLiteral("Finish sending out command string!"));
    return outcome;
}

} // namespace vantiro
