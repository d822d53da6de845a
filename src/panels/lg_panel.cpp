#include "panels/lg_panel.h"

#include "commands/command_catalogue.h"
#include "commands/display_models.h"
#include "common/prompts.h"
#include "serial/command_text.h"
#include "serial/port_text.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString lineSettingsSection = u"SERIAL_COMMAND_SETTINGS"_s;
const QString sectionKey = u"Section"_s;
const QString comKey = u"COM"_s;

// The largest channel the tuning command's two hexadecimal digits carry.
constexpr qint64 highestChannel = 255;

QString sectionName(int index)
{
    return u"SECTION_"_s + QString::number(index);
}

void tell(Prompts &prompts, const QString &text)
{
    prompts.inform(text, PromptIcon::Information);
}

bool isWholeNumber(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// The line settings fields with the names the file and the messages use, in the order of the lists.
struct LineSettingField
{
    QString LineSettings::*value;
    QString key;
    const QStringList &items;
};

const std::array<LineSettingField, 4> &lineSettingFields()
{
    static const std::array<LineSettingField, 4> fields { {
        { &LineSettings::baudRate, u"Baud Rate"_s, baudRateItems() },
        { &LineSettings::parity, u"Parity"_s, parityItems() },
        { &LineSettings::dataBits, u"Data Bits"_s, dataBitsItems() },
        { &LineSettings::stopBits, u"Stop Bits"_s, stopBitsItems() },
    } };
    return fields;
}

} // namespace

const QStringList &lgInputSelectItems()
{
    static const QStringList items { u"DTV"_s,          u"Analog"_s,      u"Video"_s,
                                     u"Front Video"_s,  u"Component 1"_s, u"Component 2"_s,
                                     u"RGB-DTV"_s,      u"RGB-PC"_s,      u"DVI-DTV(HDMI1/DVI)"_s,
                                     u"DVI-PC(HDMI2)"_s };
    return items;
}

const QStringList &lgAspectRatioItems()
{
    static const QStringList items {
        u"Normal Screen(4:3)"_s,   u"Wide(16:9)"_s, u"Horizon(Spectacle)"_s, u"Zoom 1"_s, u"Zoom 2"_s,
        u"Auto(Set by program)"_s, u"14:9"_s
    };
    return items;
}

const QStringList &lgTvInputItems()
{
    static const QStringList items { u"NTSC Air"_s, u"NTSC CATV"_s, u"ATSC Air"_s };
    return items;
}

QString lgListCommand(const QString &commandTemplate, int position)
{
    return fillPlaceholder(commandTemplate, valuePlaceholder,
                           hexDigitsText(QString::number(position)).value_or(QString()));
}

std::optional<QString> lgVolumeCommand(const QString &volumeText, Prompts &prompts)
{
    // A text that is no number (pasted letters) would send the command with its value missing.
    const std::optional<QString> volume = hexDigitsText(volumeText);
    if (volumeText.trimmed().isEmpty() || !volume) {
        tell(prompts, u"Please enter or select a volume value."_s);
        return std::nullopt;
    }
    return fillPlaceholder(catalogue::lgVolume, valuePlaceholder, *volume);
}

std::optional<QString> lgChannelCommand(std::optional<LgTvInput> tvInput, const QString &channelText,
                                        const QString &minorChannelText, Prompts &prompts)
{
    if (!tvInput) {
        tell(prompts, u"Please select a TV Input before sending."_s);
        return std::nullopt;
    }
    const QString channel = channelText.trimmed();
    const QString minor = minorChannelText.trimmed();
    const bool atsc = *tvInput == LgTvInput::AtscAir;
    if (!isWholeNumber(channel) || (atsc && !isWholeNumber(minor))) {
        tell(prompts, u"Please enter a channel before sending."_s);
        return std::nullopt;
    }
    // From 256 on the encoding keeps only the first hexadecimal digit, which tunes another channel.
    if (numericReading(channel) > highestChannel || (atsc && numericReading(minor) > highestChannel)) {
        tell(prompts, u"The channel must be from 0 to 255."_s);
        return std::nullopt;
    }

    const QString channelTokens = paddedHexText(channel).value_or(QString());
    switch (*tvInput) {
    case LgTvInput::NtscAir:
        return fillPlaceholder(catalogue::lgChannelNtscAir, valuePlaceholder, channelTokens);
    case LgTvInput::NtscCatv:
        return fillPlaceholder(catalogue::lgChannelNtscCatv, valuePlaceholder, channelTokens);
    case LgTvInput::AtscAir:
        break;
    }
    const QString withChannel = fillPlaceholder(catalogue::lgChannelAtscAir, valuePlaceholder, channelTokens);
    return fillPlaceholder(withChannel, minorPlaceholder, paddedHexText(minor).value_or(QString()));
}

LgPanelSender::LgPanelSender(CommandDispatch &dispatch, Prompts &prompts)
    : m_dispatch(dispatch)
    , m_prompts(prompts)
{ }

std::optional<QFuture<CommandReport>>
LgPanelSender::sendToSection(const QString &portText, const LineSettings &lineSettings, const QString &command)
{
    // A port that names no COM port ("0") would go to the port of the previous send, another display.
    const QString port = portText.trimmed();
    if (!comPortNumber(port)) {
        tell(m_prompts, u"Please enter a COM Port before sending."_s);
        return std::nullopt;
    }
    if (const std::optional<QString> missing = lineSettings.firstEmptySetting()) {
        tell(m_prompts, u"Please select the "_s + *missing + u" setting before sending."_s);
        return std::nullopt;
    }

    m_panelCommPort = port;
    m_panelLineSettings = lineSettings.joined();
    CommandRequest request;
    // The request carries its own completion report: a message box, as for the operator's other
    // immediate commands.
    request.handOff = CommandHandOff { command.trimmed(), u"100"_s, false };
    request.snapshot.panelCommPort = m_panelCommPort;
    request.snapshot.panelLineSettings = m_panelLineSettings;
    return m_dispatch.dispatch(request);
}

void readLgSettings(const IniFile &ini, LgSettings &settings)
{
    for (const LineSettingField &field : lineSettingFields()) {
        const QString stored = ini.value(lineSettingsSection, field.key, QString()).trimmed();
        for (const QString &item : field.items) {
            if (!stored.isEmpty() && item.compare(stored, Qt::CaseInsensitive) == 0)
                settings.lineSettings.*field.value = item;
        }
    }
    for (int i = 0; i < lgSectionCount; ++i) {
        const QString label = ini.value(sectionName(i), sectionKey, QString()).trimmed();
        const QString port = ini.value(sectionName(i), comKey, QString()).trimmed();
        if (!label.isEmpty())
            settings.sections[i].label = label;
        if (!port.isEmpty())
            settings.sections[i].comPort = port;
    }
}

IniFile lgSettingsToIni(const LgSettings &settings)
{
    IniFile ini;
    for (const LineSettingField &field : lineSettingFields())
        ini.setValue(lineSettingsSection, field.key, (settings.lineSettings.*field.value).trimmed());
    for (int i = 0; i < lgSectionCount; ++i) {
        ini.setValue(sectionName(i), sectionKey, settings.sections[i].label.trimmed());
        ini.setValue(sectionName(i), comKey, settings.sections[i].comPort.trimmed());
    }
    return ini;
}

} // namespace vantiro
