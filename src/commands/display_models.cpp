#include "commands/display_models.h"

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

const QString oleviaPower = u"BE 05 25 08 F0"_s;

const QString lgPowerOn = u"6B 61 20 30 31 20 30 31 0D"_s;
const QString lgPowerOff = u"6B 61 20 30 31 20 30 30 0D"_s;
const QString lgMuteOn = u"6B 65 20 30 31 20 30 30 0D"_s;
const QString lgMuteOff = u"6B 65 20 30 31 20 30 31 0D"_s;
const QString lgVolume = u"6B 66 20 30 31 20 _ 0D"_s;
const QString lgAutoConfig = u"6A 75 20 30 31 20 30 31 0D"_s;

const QString vvuonPowerOn = u"40 4B 45 59 3A 30 0D"_s;
const QString vvuonPowerOff = u"40 50 57 44 3A 30 0D"_s;
const QString vvuonVolume = u"40 56 4F 4C 3A _ 0D"_s;
// A Vvuon answers @MUT on its own port and @MUS when every COM port is addressed.
const QString vvuonMuteOn = u"40 4D 55 54 3A 31 0D"_s;
const QString vvuonMuteOff = u"40 4D 55 54 3A 30 0D"_s;
const QString vvuonAllMuteOn = u"40 4D 55 53 3A 31 0D"_s;
const QString vvuonAllMuteOff = u"40 4D 55 53 3A 30 0D"_s;

const QString d525PowerOn = u"64 69 64 3A 61 6C 6C 2D 70 6E 2E"_s;
const QString d525PowerOff = u"64 69 64 3A 61 6C 6C 2D 70 66 2E"_s;

constexpr int oleviaBaudIndex = 4; // 115200

void setLgCommands(ModelCommandSet &set)
{
    set.powerOnCommand = lgPowerOn;
    set.powerOffCommand = lgPowerOff;
    set.muteOnCommand = lgMuteOn;
    set.muteOffCommand = lgMuteOff;
    set.volumeCommand = lgVolume;
    set.autoConfigCommand = lgAutoConfig;
}

void setLineSettings(ModelCommandSet &set, const LineSettingsSelection &selection)
{
    set.modelBaudRate = baudRateItems().at(selection.baudIndex);
    set.modelParity = parityItems().at(selection.parityIndex);
    set.modelDataBits = dataBitsItems().at(selection.dataBitsIndex);
    set.modelStopBits = stopBitsItems().at(selection.stopBitsIndex);
}

} // namespace

const QStringList &displayModelNames()
{
    static const QStringList names { u"LG"_s, u"OLEVIA"_s, u"HYUNDAI-Vvuon"_s, u"HYUNDAI-D525ML"_s };
    return names;
}

DisplayModel displayModelFromName(QStringView name)
{
    const QString upper = name.toString().toUpper();
    if (upper == u"OLEVIA")
        return DisplayModel::Olevia;
    if (upper == u"HYUNDAI-VVUON")
        return DisplayModel::HyundaiVvuon;
    if (upper == u"HYUNDAI-D525ML")
        return DisplayModel::HyundaiD525ML;
    return DisplayModel::LG;
}

DisplayModel portDisplayModel(QStringView name)
{
    name = name.trimmed();
    if (name.compare(u"HYUNDAI", Qt::CaseInsensitive) == 0)
        return DisplayModel::HyundaiVvuon;
    return displayModelFromName(name);
}

const QStringList &baudRateItems()
{
    static const QStringList items { u"9600"_s, u"19200"_s, u"38400"_s, u"57600"_s, u"115200"_s };
    return items;
}

const QStringList &parityItems()
{
    static const QStringList items { u"e"_s, u"o"_s, u"n"_s };
    return items;
}

const QStringList &dataBitsItems()
{
    static const QStringList items { u"7"_s, u"8"_s };
    return items;
}

const QStringList &stopBitsItems()
{
    static const QStringList items { u"1"_s, u"2"_s };
    return items;
}

ModelCommandSet ModelCommandSet::initial()
{
    ModelCommandSet set;
    set.powerOnCommand = u"6B 61 20 30 20 31 0D"_s;
    set.powerOffCommand = u"6B 61 20 30 20 30 0D"_s;
    set.muteOnCommand = u"6B 65 20 30 20 30 0D"_s;
    set.muteOffCommand = u"6B 65 20 30 20 31 0D"_s;
    set.volumeCommand = u"6B 66 20 30 20 _ 0D"_s;
    set.autoConfigCommand = lgAutoConfig;
    setLineSettings(set, LineSettingsSelection {});
    return set;
}

ModelChoice chooseDisplayModel(ModelCommandSet &set, QStringView modelName)
{
    ModelChoice choice;
    switch (displayModelFromName(modelName)) {
    case DisplayModel::Olevia:
        set.powerOnCommand = oleviaPower;
        set.powerOffCommand = oleviaPower;
        set.muteOnCommand = u"6B 65 20 30 20 30 0D"_s;
        set.muteOffCommand = u"6B 65 20 30 20 31 0D"_s;
        set.volumeCommand = u"6B 66 20 30 20 _ 0D"_s;
        choice.lineSettings.baudIndex = oleviaBaudIndex;
        break;
    case DisplayModel::HyundaiVvuon:
        set.powerOnCommand = vvuonPowerOn;
        set.powerOffCommand = vvuonPowerOff;
        set.muteOnCommand = vvuonMuteOn;
        set.muteOffCommand = vvuonMuteOff;
        set.volumeCommand = vvuonVolume;
        break;
    case DisplayModel::HyundaiD525ML:
        set.powerOnCommand = d525PowerOn;
        set.powerOffCommand = d525PowerOff;
        choice.volumeControlsEnabled = false;
        break;
    case DisplayModel::LG:
        setLgCommands(set);
        break;
    }
    return choice;
}

void applyModelForSend(ModelCommandSet &set, QStringView modelName, SendReach reach)
{
    LineSettingsSelection selection;
    switch (portDisplayModel(modelName)) {
    case DisplayModel::Olevia:
        set.powerOnCommand = oleviaPower;
        set.powerOffCommand = oleviaPower;
        selection.baudIndex = oleviaBaudIndex;
        break;
    case DisplayModel::HyundaiVvuon: {
        set.powerOnCommand = vvuonPowerOn;
        set.powerOffCommand = vvuonPowerOff;
        set.volumeCommand = vvuonVolume;
        const bool allPorts = reach == SendReach::AllPorts;
        set.muteOnCommand = allPorts ? vvuonAllMuteOn : vvuonMuteOn;
        set.muteOffCommand = allPorts ? vvuonAllMuteOff : vvuonMuteOff;
        break;
    }
    case DisplayModel::HyundaiD525ML:
        set.powerOnCommand = d525PowerOn;
        set.powerOffCommand = d525PowerOff;
        break;
    case DisplayModel::LG:
        setLgCommands(set);
        break;
    }
    setLineSettings(set, selection);
}

} // namespace vantiro
