#include "panels/hyundai_panel.h"

#include "commands/command_catalogue.h"
#include "common/prompts.h"
#include "serial/command_text.h"

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString hyundaiPanelIndex = u"99"_s;

// "did:all-" + the code's letters + ".".
QString d525Command(const QString &code)
{
    return catalogue::d525Prefix % textToCommandText(code) % u' ' % catalogue::d525Suffix;
}

VvuonKey key(const QString &name, const QString &caption, const QString &code)
{
    return { name, caption, caption, code, {}, KeyGlyph::Caption };
}

VvuonKey arrowKey(const QString &name, const QString &accessibleName, const QString &code, KeyGlyph glyph)
{
    return { name, {}, accessibleName, code, {}, glyph };
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

const QStringList &hyundaiPanelModelNames()
{
    static const QStringList names { u"HYUNDAI-VVUON"_s, u"HYUNDAI-D525ML"_s };
    return names;
}

const QList<VvuonKey> &vvuonKeys()
{
    static const QList<VvuonKey> keys = [] {
        QList<VvuonKey> all {
            { u"cmdPowerOn"_s, u"ON"_s, u"ON"_s, {}, catalogue::vvuonPowerOn, KeyGlyph::Caption },
            { u"cmdPowerOff"_s, u"OFF"_s, u"OFF"_s, {}, catalogue::vvuonPowerOff, KeyGlyph::Caption },
        };
        for (int digit = 1; digit <= 9; ++digit)
            all.append(key(u"cmdKey"_s + QString::number(digit), QString::number(digit), QString::number(digit)));
        all += {
            key(u"cmdKey0"_s, u"0"_s, u"10"_s),
            key(u"cmdKeyDot"_s, u"."_s, u"11"_s),
            key(u"cmdFreeze"_s, u"FREEZE"_s, u"22"_s),
            key(u"cmdSleep"_s, u"SLEEP"_s, u"31"_s),
            key(u"cmdAspect"_s, u"ASPECT"_s, u"23"_s),
            key(u"cmdPreCh"_s, u"PRE.CH"_s, u"14"_s),
            key(u"cmdSelect"_s, u"SELECT"_s, u"29"_s),
            arrowKey(u"cmdLeft"_s, u"Left"_s, u"25"_s, KeyGlyph::ArrowLeft),
            arrowKey(u"cmdUp"_s, u"Up"_s, u"27"_s, KeyGlyph::ArrowUp),
            arrowKey(u"cmdRight"_s, u"Right"_s, u"26"_s, KeyGlyph::ArrowRight),
            arrowKey(u"cmdDown"_s, u"Down"_s, u"28"_s, KeyGlyph::ArrowDown),
            key(u"cmdVolumeUp"_s, u"+"_s, u"16"_s),
            key(u"cmdVolumeDown"_s, u"-"_s, u"17"_s),
            // Named apart from the navigation arrows, so a screen reader tells the two pairs apart.
            arrowKey(u"cmdChannelUp"_s, u"Channel Up"_s, u"12"_s, KeyGlyph::ArrowUp),
            arrowKey(u"cmdChannelDown"_s, u"Channel Down"_s, u"13"_s, KeyGlyph::ArrowDown),
            key(u"cmdMenu"_s, u"MENU"_s, u"24"_s),
            key(u"cmdExit"_s, u"EXIT"_s, u"30"_s),
            key(u"cmdInfo"_s, u"INFO"_s, u"49"_s),
            key(u"cmdSource"_s, u"SOURCE"_s, u"40"_s),
            key(u"cmdPip"_s, u"PIP"_s, u"34"_s),
            key(u"cmdPipSrc"_s, u"SRC"_s, u"37"_s),
            key(u"cmdPipSize"_s, u"SIZE"_s, u"45"_s),
            key(u"cmdPipSwp"_s, u"SWP"_s, u"35"_s),
            key(u"cmdPipPos"_s, u"POS"_s, u"36"_s),
            key(u"cmdPipSet"_s, u"SET"_s, {}),
            key(u"cmdFavorite"_s, u"FAVORITE"_s, u"15"_s),
            key(u"cmdAddErase"_s, u"ADD/ERASE"_s, u"47"_s),
            key(u"cmdCc"_s, u"C.C"_s, u"32"_s),
            key(u"cmdPcAuto"_s, u"PC AUTO"_s, u"52"_s),
            key(u"cmdDtvGuide"_s, u"DTV-GUIDE"_s, u"33"_s),
            key(u"cmdPicture"_s, u"PICTURE"_s, u"21"_s),
            key(u"cmdSound"_s, u"SOUND"_s, u"20"_s),
            key(u"cmdSrs"_s, u"SRS"_s, u"48"_s),
            key(u"cmdMts"_s, u"MTS"_s, u"19"_s),
            key(u"cmdMute"_s, u"Mute"_s, u"18"_s),
        };
        return all;
    }();
    return keys;
}

const VvuonKey *findVvuonKey(const QString &name)
{
    for (const VvuonKey &key : vvuonKeys()) {
        if (key.name == name)
            return &key;
    }
    return nullptr;
}

QString vvuonKeyCommand(const VvuonKey &key)
{
    if (!key.fixedCommand.isEmpty())
        return key.fixedCommand;
    // A key without a code ("SET") sends "@KEY:" and CR alone.
    QString code = key.code;
    code.remove(u' ');
    return catalogue::vvuonKeyPrefix % textToCommandText(code) % u' ' % catalogue::vvuonKeySuffix;
}

const QList<D525Function> &d525Functions()
{
    static const QList<D525Function> functions {
        { u"POWER ON"_s, d525Command(u"pn"_s) },      { u"POWER OFF"_s, d525Command(u"pf"_s) },
        { u"FAN ON"_s, d525Command(u"fn"_s) },        { u"FAN OFF"_s, d525Command(u"ff"_s) },
        { u"FACTORY RESET"_s, d525Command(u"fr"_s) }, { u"HDMI INPUT"_s, d525Command(u"sd"_s) },
        { u"PC INPUT"_s, d525Command(u"sp"_s) },      { u"COMPONENT INPT"_s, d525Command(u"sc"_s) },
        { u"AV INPUT"_s, d525Command(u"sa"_s) },
    };
    return functions;
}

QStringList d525FunctionEntries()
{
    QStringList entries;
    for (const D525Function &function : d525Functions())
        entries.append(function.entry);
    return entries;
}

QString d525FunctionCommand(const QString &functionText)
{
    for (const D525Function &function : d525Functions()) {
        if (function.entry == functionText)
            return function.command;
    }
    return {};
}

QString d525SequenceCommand(const QString &value)
{
    return d525Command(value.trimmed());
}

const QList<D525ValuePair> &d525ValuePairs()
{
    static const QString bothValues = u"Please enter a value in both textboxes before sending"_s;
    static const QList<D525ValuePair> pairs {
        { u"SetCount"_s, u"Set Count"_s, u"ch"_s, bothValues },
        { u"SetWindow"_s, u"Set Window"_s, u"nh"_s, bothValues },
        // The operator has always seen this wording for this group.
        { u"EdgeADJ"_s, u"Edge ADJ"_s, u"eh"_s, u"Please a enter value in both textboxes before sending"_s },
    };
    return pairs;
}

QString d525PairCommand(const D525ValuePair &pair, const QString &horizontal, const QString &vertical)
{
    return catalogue::d525Prefix % textToCommandText(pair.code) % u' ' % textToCommandText(horizontal.trimmed()) % u' '
        % textToCommandText(u"v"_s) % u' ' % textToCommandText(vertical.trimmed()) % u' ' % catalogue::d525Suffix;
}

const QList<D525StepRow> &d525StepRows()
{
    static const QList<D525StepRow> rows {
        { u"Contrast"_s, u"SubBrightness"_s, u"Sub-Brightness:"_s, d525Command(u"sbu"_s), d525Command(u"sbd"_s) },
        { u"Contrast"_s, u"SubContrast"_s, u"Sub-Contrast:"_s, d525Command(u"scu"_s), d525Command(u"scd"_s) },
        { u"Contrast"_s, u"BacklightValue"_s, u"Backlight Value:"_s, d525Command(u"blu"_s), d525Command(u"bld"_s) },
        { u"Offset"_s, u"RedOffset"_s, u"Red Offset:"_s, d525Command(u"rou"_s), d525Command(u"rod"_s) },
        { u"Offset"_s, u"GreenOffset"_s, u"Green Offset:"_s, d525Command(u"gou"_s), d525Command(u"god"_s) },
        { u"Offset"_s, u"BlueOffset"_s, u"Blue Offset:"_s, d525Command(u"bou"_s), d525Command(u"bod"_s) },
        { u"Gain"_s, u"RedGain"_s, u"Red Gain:"_s, d525Command(u"rgu"_s), d525Command(u"rgd"_s) },
        { u"Gain"_s, u"GreenGain"_s, u"Green Gain:"_s, d525Command(u"ggu"_s), d525Command(u"ggd"_s) },
        { u"Gain"_s, u"BlueGain"_s, u"Blue Gain:"_s, d525Command(u"bgu"_s), d525Command(u"bgd"_s) },
    };
    return rows;
}

QStringList d525StepFrames()
{
    return { u"Contrast"_s, u"Offset"_s, u"Gain"_s };
}

const QList<D525ModeButton> &d525ModeButtons()
{
    static const QList<D525ModeButton> modes {
        { u"cmdColorControlMode"_s, u"Enable Color Control Mode"_s, d525Command(u"cr"_s) },
        { u"cmdIRMode"_s, u"Enable IR Mode"_s, d525Command(u"ir"_s) },
    };
    return modes;
}

PanelFieldKey panelFieldKeyAction(char16_t characterCode, bool enterSends)
{
    constexpr char16_t backspace = 8;
    constexpr char16_t passThrough = 16;
    constexpr char16_t enter = 13;
    if (characterCode == backspace || characterCode == passThrough || isDigit(characterCode))
        return PanelFieldKey::Pass;
    if (characterCode == enter && enterSends)
        return PanelFieldKey::Send;
    return PanelFieldKey::Discard;
}

HyundaiPanelCommands::HyundaiPanelCommands(CommandDispatch &dispatch, Prompts &prompts)
    : m_dispatch(dispatch)
    , m_prompts(prompts)
{ }

HyundaiPanelCommands::Sent HyundaiPanelCommands::pressKey(const VvuonKey &key, const PanelPort &port)
{
    return sendHyundaiCommand(vvuonKeyCommand(key), true, port);
}

HyundaiPanelCommands::Sent HyundaiPanelCommands::pressStep(const QString &command, const PanelPort &port)
{
    return sendHyundaiCommand(command, true, port);
}

HyundaiPanelCommands::Sent HyundaiPanelCommands::sendFunction(const QString &functionText, const PanelPort &port)
{
    if (functionText.trimmed().isEmpty()) {
        tell(u"Please select a function before sending"_s);
        return std::nullopt;
    }
    if (port.portText.trimmed().isEmpty()) {
        tell(u"Please enter a COM before sending"_s);
        return std::nullopt;
    }
    const LineSettings &lists = port.lineSettings;
    const LineSettings shown { lists.baudRate.trimmed(), lists.parity.trimmed(), lists.dataBits.trimmed(),
                               lists.stopBits.trimmed() };
    if (const std::optional<QString> missing = shown.firstEmptySetting()) {
        tell(u"Please select the "_s % *missing % u" setting before sending."_s);
        return std::nullopt;
    }
    // A text that names no entry hands over the empty command; the executor tells the operator.
    return sendHyundaiCommand(d525FunctionCommand(functionText), false, port);
}

HyundaiPanelCommands::Sent HyundaiPanelCommands::sendDisplaySequence(const QString &value, const PanelPort &port)
{
    if (value.trimmed().isEmpty()) {
        tell(u"Please enter a value before sending"_s);
        return std::nullopt;
    }
    return sendHyundaiCommand(d525SequenceCommand(value), false, port);
}

HyundaiPanelCommands::Sent HyundaiPanelCommands::sendPair(const D525ValuePair &pair, const QString &horizontal,
                                                          const QString &vertical, const PanelPort &port)
{
    if (horizontal.trimmed().isEmpty() || vertical.trimmed().isEmpty()) {
        tell(pair.emptyMessage);
        return std::nullopt;
    }
    return sendHyundaiCommand(d525PairCommand(pair, horizontal, vertical), false, port);
}

HyundaiPanelCommands::Sent HyundaiPanelCommands::pressMode(const QString &command, const PanelPort &port)
{
    return sendHyundaiCommand(command, false, port);
}

QFuture<CommandReport> HyundaiPanelCommands::sendHyundaiCommand(const QString &command, bool reportToStatusLog,
                                                                const PanelPort &port)
{
    // No check of the port here: a port text that names no port leaves the link on the port it had.
    panelCommPort = port.portText.trimmed();
    panelLineSettings = port.lineSettings.joined();
    CommandRequest request;
    request.handOff = { command.trimmed(), hyundaiPanelIndex, reportToStatusLog };
    request.snapshot.panelCommPort = panelCommPort;
    request.snapshot.panelLineSettings = panelLineSettings;
    return m_dispatch.dispatch(request);
}

void HyundaiPanelCommands::tell(const QString &text)
{
    m_prompts.inform(text, PromptIcon::Information);
}

} // namespace vantiro
