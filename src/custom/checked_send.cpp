#include "checked_send.h"

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

    static const QStringList settingNames = { QStringLiteral("Baud Rate"), QStringLiteral("Parity"),
                                              QStringLiteral("Data Bits"), QStringLiteral("Stop Bits") };
    QStringList lineSettings;
    for (int i = 0; i < settingNames.size(); ++i) {
        const QString field = withoutBlanks(fields.value(i + 1));
        if (field.isEmpty()) {
            prompts.inform(QStringLiteral("Can't find the ") + settingNames[i]
                               + QStringLiteral(" setting. Please make sure the setting is correct"),
                           PromptIcon::Exclamation);
            return std::nullopt;
        }
        lineSettings.append(field);
    }

    // Settings the port cannot take are not replaced by the previous ones: nothing is sent.
    const SendOutcome outcome = link.configurePort(lineSettings.join(u','), port, Handshaking::None)
        ? link.sendCommandText(command.trimmed())
        : SendOutcome { SendOutcome::Status::SettingsRejected, link.devicePath(), 0, {} };
    if (showFinish) {
        if (outcome.failed())
            prompts.inform(QStringLiteral("The serial command was not sent to COM%1: %2.")
                               .arg(link.comNumber())
                               .arg(sendStatusReason(outcome.status)),
                           PromptIcon::Exclamation);
        else
            prompts.inform(QStringLiteral("Finish sending out command string!"));
    }
    return outcome;
}

} // namespace vantiro
