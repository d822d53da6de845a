#include "custom/panel_command_set.h"

#include <QDir>
#include <QFile>

#include <array>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString lgSection = u"LG_SERIAL_COMMANDS"_s;
const QString hyundaiSection = u"HYUNDAI_D525ML_SERIAL_COMMANDS"_s;

struct CustomCommandKey
{
    const QString &section;
    QString key;
    QString PanelCommandSet::*slot;
};

// In reading order: "Tuner" after "Digital Signage", so that it wins when both are there.
const std::array<CustomCommandKey, 9> &customCommandKeys()
{
    using S = PanelCommandSet;
    static const std::array<CustomCommandKey, 9> keys { {
        { lgSection, u"On"_s, &S::lgOnCommand },
        { lgSection, u"Off"_s, &S::lgOffCommand },
        { lgSection, u"Digital Signage"_s, &S::lgInputCommand },
        { lgSection, u"Tuner"_s, &S::lgInputCommand },
        { lgSection, u"Channel"_s, &S::lgChannelCommand },
        { lgSection, u"Volume"_s, &S::lgVolumeCommand },
        { hyundaiSection, u"On"_s, &S::hyundaiOnCommand },
        { hyundaiSection, u"Off"_s, &S::hyundaiOffCommand },
        { hyundaiSection, u"Digital Signage"_s, &S::hyundaiSignageCommand },
    } };
    return keys;
}

void replaceIfGiven(QString &slot, const std::optional<QString> &value)
{
    if (value)
        slot = *value;
}

} // namespace

std::optional<QString> readCommandValue(const IniFile &ini, const QString &section, const QString &key)
{
    const QString value = ini.value(section, key, QString()).trimmed();
    if (value.isEmpty())
        return std::nullopt;
    return value;
}

PanelCommandSet::PanelCommandSet()
{
    setHyundaiDefaultCommands();
    setLgDefaultCommands();
}

void PanelCommandSet::setHyundaiDefaultCommands()
{
    hyundaiOnCommand = u"64 69 64 3A 61 6C 6C 2D 70 6E 2E"_s; // did:all-pn.
    hyundaiOffCommand = u"64 69 64 3A 61 6C 6C 2D 70 66 2E"_s; // did:all-pf.
    hyundaiSignageCommand = u"64 69 64 3A 61 6C 6C 2D 73 70 2E"_s; // did:all-sp.
}

void PanelCommandSet::setLgDefaultCommands()
{
    lgOnCommand = u"6B 64 20 30 31 20 30 30 0D"_s; // kd 01 00: screen mute off
    lgOffCommand = u"6B 64 20 30 31 20 30 31 0D"_s; // kd 01 01: screen mute on
    lgInputCommand = u"6B 62 20 30 31 20 30 _ 0D"_s; // kb 01 0_
    lgVolumeCommand = u"6B 66 20 30 31 20 _ 0D"_s; // kf 01 _
    lgChannelCommand = u"6D 61 20 30 31 20 _ 20 30 30 20 _ 20 30 30 20 30 30 20 30 30 0D"_s; // ma 01 _ 00 _ 00 00 00
}

void PanelCommandSet::applyCustomSerialCommands(const IniFile &ini)
{
    for (const CustomCommandKey &entry : customCommandKeys())
        replaceIfGiven(this->*entry.slot, readCommandValue(ini, entry.section, entry.key));
}

bool PanelCommandSet::loadCustomSerialCommands(const QString &applicationFolder, BusyPointer &busyPointer)
{
    const BusyScope busy(busyPointer);
    QFile file(QDir(applicationFolder).filePath(customCommandsFileName));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    applyCustomSerialCommands(IniFile::parse(file.readAll()));
    return true;
}

void PanelCommandSet::applyButtonFileCommands(const ButtonFileContents &contents)
{
    replaceIfGiven(lgOnCommand, contents.lgOnCommand);
    replaceIfGiven(lgOffCommand, contents.lgOffCommand);
}

} // namespace vantiro
