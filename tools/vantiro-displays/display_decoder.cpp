#include "display_decoder.h"

#include <QRegularExpression>

#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace vantiro::displays {

namespace {

using Setting = std::pair<QString, QString>;

// What one command means to a display and which fields of its state it sets.
struct Effect
{
    QString meaning;
    QList<Setting> settings;
};

QString modelLabel(Framing framing)
{
    switch (framing) {
    case Framing::LgText:
        return u"LG"_s;
    case Framing::OleviaText:
    case Framing::OleviaBinary:
        return u"OLEVIA"_s;
    case Framing::VvuonText:
        return u"HYUNDAI-Vvuon"_s;
    case Framing::D525mlText:
        return u"HYUNDAI-D525ML"_s;
    case Framing::Unplaced:
        break;
    }
    return u"?"_s;
}

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// Text commands are shown as text without the carriage return that ends them; the D525ML's full stop
// is part of how its commands are written, so it stays.
QString wireText(const Frame &frame)
{
    if (frame.framing == Framing::OleviaBinary)
        return hexBytes(frame.bytes);
    QByteArray text = frame.bytes;
    if (text.endsWith('\r'))
        text.chop(1);
    return u'"' + QString::fromLatin1(text) + u'"';
}

QString onOff(bool on)
{
    return on ? u"on"_s : u"off"_s;
}

std::optional<int> hexValue(const QByteArray &token)
{
    bool ok = false;
    const int value = token.toInt(&ok, 16);
    return ok ? std::optional(value) : std::nullopt;
}

Effect notUnderstood(const QString &name, const QByteArray &data)
{
    return { name + u' ' + QString::fromLatin1(data) + u" (not understood)"_s, {} };
}

Effect switched(const QString &name, const QString &field, bool on)
{
    return { name + u' ' + onOff(on), { { field, onOff(on) } } };
}

// A switch whose data says on or off; the two values differ between commands.
Effect switchEffect(const QString &name, const QString &field, const QByteArray &data, int onValue, int offValue)
{
    const auto value = hexValue(data);
    if (value == onValue)
        return switched(name, field, true);
    if (value == offValue)
        return switched(name, field, false);
    return notUnderstood(name, data);
}

// The LG panel's lists send the position of the chosen entry.
Effect listEffect(const QString &name, const QString &field, const QStringList &entries, const QByteArray &data)
{
    const auto position = hexValue(data);
    if (!position || *position >= entries.size())
        return notUnderstood(name, data);
    const QString &entry = entries.at(*position);
    return { name + u' ' + entry, { { field, entry } } };
}

const QStringList &lgInputs()
{
    static const QStringList entries
        = { u"DTV"_s,         u"Analog"_s,  u"Video"_s,  u"Front Video"_s,        u"Component 1"_s,
            u"Component 2"_s, u"RGB-DTV"_s, u"RGB-PC"_s, u"DVI-DTV(HDMI1/DVI)"_s, u"DVI-PC(HDMI2)"_s };
    return entries;
}

const QStringList &lgAspectRatios()
{
    static const QStringList entries
        = { u"Normal Screen(4:3)"_s,   u"Wide(16:9)"_s, u"Horizon(Spectacle)"_s, u"Zoom 1"_s, u"Zoom 2"_s,
            u"Auto(Set by program)"_s, u"14:9"_s };
    return entries;
}

// Channel tuning sends "ma 01 c1 00 c2 00 c3 band": NTSC takes the channel twice (band 00 air,
// 01 cable), ATSC air sends 03, the major channel and the minor channel (band 02).
Effect channelEffect(const QList<QByteArray> &data, const QByteArray &dataText)
{
    const QString name = u"channel"_s;
    if (data.size() != 6 || hexValue(data[1]) != 0 || hexValue(data[3]) != 0)
        return notUnderstood(name, dataText);
    const auto first = hexValue(data[0]);
    const auto second = hexValue(data[2]);
    const auto third = hexValue(data[4]);
    const auto band = hexValue(data[5]);
    QString tuned;
    if ((band == 0 || band == 1) && first == second && third == 0)
        tuned = QString::number(*first) + (band == 0 ? u" NTSC Air"_s : u" NTSC CATV"_s);
    else if (band == 2 && first == 3 && second && third)
        tuned = QString::number(*second) + u'-' + QString::number(*third) + u" ATSC Air"_s;
    else
        return notUnderstood(name, dataText);
    return { name + u' ' + tuned, { { name, tuned } } };
}

// "ka 01 01": command, set id, data. The set id is not checked: every display answers to what
// Vantiro sends.
Effect lgTextEffect(const QByteArray &bytes)
{
    QList<QByteArray> tokens = bytes.trimmed().split(' ');
    const QByteArray command = tokens.takeFirst();
    tokens.removeFirst();
    const QByteArray data = tokens.join(' ');

    if (command == "ma")
        return channelEffect(tokens, data);
    if (tokens.size() != 1)
        return notUnderstood(u"command "_s + QString::fromLatin1(command), data);
    if (command == "ka")
        return switchEffect(u"power"_s, u"power"_s, data, 1, 0);
    if (command == "kd")
        return switchEffect(u"screen mute"_s, u"screen-mute"_s, data, 1, 0);
    // Volume mute is the other way round: 00 mutes.
    if (command == "ke")
        return switchEffect(u"volume mute"_s, u"volume-mute"_s, data, 0, 1);
    if (command == "kb")
        return listEffect(u"input"_s, u"input"_s, lgInputs(), data);
    if (command == "kc")
        return listEffect(u"aspect ratio"_s, u"aspect"_s, lgAspectRatios(), data);
    if (command == "kf") {
        const auto volume = hexValue(data);
        if (!volume)
            return notUnderstood(u"volume"_s, data);
        return { u"volume "_s + QString::number(*volume), { { u"volume"_s, QString::number(*volume) } } };
    }
    if (command == "ju" && hexValue(data) == 1)
        return { u"auto configuration"_s, {} };
    return notUnderstood(u"command "_s + QString::fromLatin1(command), data);
}

// The same bytes switch the display on and off.
Effect oleviaPowerEffect(const DisplayState &state)
{
    const bool on = state.value(u"power"_s) != u"on"_s;
    return { u"power toggle"_s, { { u"power"_s, onOff(on) } } };
}

QString vvuonKeyName(const QByteArray &code)
{
    if (code.isEmpty())
        return u"PIP SET"_s;
    static const QMap<int, QString> names = {
        { 10, u"0"_s },      { 11, u"."_s },        { 12, u"CH UP"_s },     { 13, u"CH DOWN"_s },
        { 14, u"PRE.CH"_s }, { 15, u"FAVORITE"_s }, { 16, u"VOL+"_s },      { 17, u"VOL-"_s },
        { 18, u"MUTE"_s },   { 19, u"MTS"_s },      { 20, u"SOUND"_s },     { 21, u"PICTURE"_s },
        { 22, u"FREEZE"_s }, { 23, u"ASPECT"_s },   { 24, u"MENU"_s },      { 25, u"LEFT"_s },
        { 26, u"RIGHT"_s },  { 27, u"UP"_s },       { 28, u"DOWN"_s },      { 29, u"SELECT"_s },
        { 30, u"EXIT"_s },   { 31, u"SLEEP"_s },    { 32, u"C.C"_s },       { 33, u"DTV-GUIDE"_s },
        { 34, u"PIP"_s },    { 35, u"PIP SWP"_s },  { 36, u"PIP POS"_s },   { 37, u"PIP SRC"_s },
        { 40, u"SOURCE"_s }, { 45, u"PIP SIZE"_s }, { 47, u"ADD/ERASE"_s }, { 48, u"SRS"_s },
        { 49, u"INFO"_s },   { 52, u"PC AUTO"_s },
    };
    const int number = code.toInt();
    if (number >= 1 && number <= 9 && code.size() == 1)
        return QString::fromLatin1(code);
    return names.value(number, QString::fromLatin1(code));
}

// "@KEY:10": keyword and value. The power key is the only remote key that sets anything the
// display is known to keep.
Effect vvuonEffect(const QByteArray &bytes)
{
    const QByteArray keyword = bytes.mid(1, 3);
    const QByteArray value = bytes.mid(5, bytes.size() - 6);
    if (keyword == "KEY") {
        if (value == "0")
            return switched(u"power"_s, u"power"_s, true);
        return { u"key "_s + vvuonKeyName(value), {} };
    }
    if (keyword == "PWD" && value == "0")
        return switched(u"power"_s, u"power"_s, false);
    // MUS is the mute pair sent to every port at once.
    if (keyword == "MUT" || keyword == "MUS")
        return switchEffect(u"volume mute"_s, u"volume-mute"_s, value, 1, 0);
    if (keyword == "VOL" && !value.isEmpty()) {
        const QString volume = QString::number(value.toInt());
        return { u"volume "_s + volume, { { u"volume"_s, volume } } };
    }
    return notUnderstood(u"command "_s + QString::fromLatin1(keyword), value);
}

struct D525mlFunction
{
    const char *code;
    const char16_t *meaning;
    const char16_t *field; // nullptr: the display keeps nothing we could show
    const char16_t *value;
};

constexpr D525mlFunction d525mlFunctions[] = {
    { "pn", u"power on", u"power", u"on" },
    { "pf", u"power off", u"power", u"off" },
    { "fn", u"fan on", u"fan", u"on" },
    { "ff", u"fan off", u"fan", u"off" },
    { "fr", u"factory reset", nullptr, nullptr },
    { "sd", u"input HDMI", u"input", u"HDMI" },
    { "sp", u"input PC", u"input", u"PC" },
    { "sc", u"input component", u"input", u"Component" },
    { "sa", u"input AV", u"input", u"AV" },
    { "cr", u"color control mode", u"mode", u"color control" },
    { "ir", u"IR mode", u"mode", u"IR" },
    { "sbu", u"sub-brightness up", nullptr, nullptr },
    { "sbd", u"sub-brightness down", nullptr, nullptr },
    { "scu", u"sub-contrast up", nullptr, nullptr },
    { "scd", u"sub-contrast down", nullptr, nullptr },
    { "blu", u"backlight up", nullptr, nullptr },
    { "bld", u"backlight down", nullptr, nullptr },
    { "rou", u"red offset up", nullptr, nullptr },
    { "rod", u"red offset down", nullptr, nullptr },
    { "gou", u"green offset up", nullptr, nullptr },
    { "god", u"green offset down", nullptr, nullptr },
    { "bou", u"blue offset up", nullptr, nullptr },
    { "bod", u"blue offset down", nullptr, nullptr },
    { "rgu", u"red gain up", nullptr, nullptr },
    { "rgd", u"red gain down", nullptr, nullptr },
    { "ggu", u"green gain up", nullptr, nullptr },
    { "ggd", u"green gain down", nullptr, nullptr },
    { "bgu", u"blue gain up", nullptr, nullptr },
    { "bgd", u"blue gain down", nullptr, nullptr },
};

// "ch2v3", "nh1v2", "eh4v5": a horizontal and a vertical value.
std::optional<Effect> d525mlPairEffect(const QByteArray &code)
{
    static const QRegularExpression pattern(u"\\A(ch|nh|eh)(\\d+)v(\\d+)\\z"_s);
    const QRegularExpressionMatch match = pattern.match(QString::fromLatin1(code));
    if (!match.hasMatch())
        return std::nullopt;
    static const QMap<QString, std::pair<QString, QString>> groups = {
        { u"ch"_s, { u"set count"_s, u"set-count"_s } },
        { u"nh"_s, { u"set window"_s, u"set-window"_s } },
        { u"eh"_s, { u"edge adjust"_s, u"edge-adjust"_s } },
    };
    const auto &[name, field] = groups.value(match.captured(1));
    const QString value
        = u'H' + QString::number(match.captured(2).toInt()) + u" V"_s + QString::number(match.captured(3).toInt());
    return Effect { name + u' ' + value, { { field, value } } };
}

// "did:all-pn.": the function code between the dash and the full stop.
Effect d525mlEffect(const QByteArray &bytes)
{
    const QByteArray code = bytes.mid(8, bytes.size() - 9);
    for (const D525mlFunction &function : d525mlFunctions) {
        if (code != function.code)
            continue;
        Effect effect { QString::fromUtf16(function.meaning), {} };
        if (function.field)
            effect.settings.append({ QString::fromUtf16(function.field), QString::fromUtf16(function.value) });
        return effect;
    }
    if (const auto pair = d525mlPairEffect(code))
        return *pair;
    bool isNumber = false;
    const int sequence = code.toInt(&isNumber);
    if (isNumber)
        return { u"display sequence "_s + QString::number(sequence), { { u"sequence"_s, QString::number(sequence) } } };
    return notUnderstood(u"function"_s, code);
}

Effect effectOf(const Frame &frame, const DisplayState &state)
{
    switch (frame.framing) {
    case Framing::LgText:
    case Framing::OleviaText:
        return lgTextEffect(frame.bytes);
    case Framing::OleviaBinary:
        return oleviaPowerEffect(state);
    case Framing::VvuonText:
        return vvuonEffect(frame.bytes);
    case Framing::D525mlText:
        return d525mlEffect(frame.bytes);
    case Framing::Unplaced:
        break;
    }
    return {};
}

} // namespace

DisplayDecoder::DisplayDecoder(int comNumber)
    : m_portName(u"COM"_s + QString::number(comNumber))
{
    // A display waits in standby; this is what the first power toggle starts from.
    m_state.insert(u"power"_s, u"off"_s);
}

QStringList DisplayDecoder::receive(QByteArrayView bytes, quint32 baudRate)
{
    return describe(m_framer.feed(bytes, baudRate));
}

QStringList DisplayDecoder::lineQuiet()
{
    return describe(m_framer.flush());
}

QStringList DisplayDecoder::describe(const QList<Frame> &frames)
{
    QStringList lines;
    for (const Frame &frame : frames)
        lines.append(describe(frame));
    return lines;
}

QString DisplayDecoder::describe(const Frame &frame)
{
    const QString head = m_portName + u' ' + QString::number(frame.baudRate) + u' ' + modelLabel(frame.framing);
    if (frame.framing == Framing::Unplaced)
        return head + u" raw "_s + hexBytes(frame.bytes);

    const Effect effect = effectOf(frame, m_state);
    QString line = head + u' ' + wireText(frame) + u' ' + effect.meaning;
    QStringList changes;
    for (const auto &[field, value] : effect.settings) {
        m_state.insert(field, value);
        changes.append(field + u'=' + value);
    }
    if (!changes.isEmpty())
        line += u" -> "_s + changes.join(u", "_s);
    return line;
}

} // namespace vantiro::displays
