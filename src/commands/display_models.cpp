#include "commands/display_models.h"

#include "commands/command_catalogue.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace vantiro {

namespace {

using namespace catalogue;

// One column of a model table: what applying the model writes. A field without a value keeps what
// it had before.
struct ModelColumn
{
    std::optional<QString> powerOn;
    std::optional<QString> powerOff;
    std::optional<QString> muteOn;
    std::optional<QString> muteOff;
    std::optional<QString> volume;
    std::optional<QString> autoConfig;
    int baudIndex = 0;
    bool volumeControls = true;
};

constexpr int oleviaBaudIndex = 4; // 115200

const ModelColumn lgColumn { lgPowerOn, lgPowerOff, lgMuteOn, lgMuteOff, lgVolume, lgAutoConfig, 0, true };

// What choosing a model in the model list writes, by DisplayModel.
const ModelColumn &listColumn(DisplayModel model)
{
    static const ModelColumn olevia { oleviaPower,   oleviaPower, shortIdMuteOn,   shortIdMuteOff,
                                      shortIdVolume, {},          oleviaBaudIndex, true };
    static const ModelColumn vvuon { vvuonPowerOn, vvuonPowerOff, vvuonMuteOn, vvuonMuteOff, vvuonVolume, {}, 0, true };
    static const ModelColumn d525 { d525PowerOn, d525PowerOff, {}, {}, {}, {}, 0, false };
    switch (model) {
    case DisplayModel::Olevia:
        return olevia;
    case DisplayModel::HyundaiVvuon:
        return vvuon;
    case DisplayModel::HyundaiD525ML:
        return d525;
    case DisplayModel::LG:
        break;
    }
    return lgColumn;
}

// What the sender writes before each port. It differs from the list's columns: OLEVIA keeps the mute
// and volume commands in force, and a Vvuon gets the @MUS pair when every COM port is addressed.
const ModelColumn &sendColumn(DisplayModel model, SendReach reach)
{
    static const ModelColumn olevia { oleviaPower, oleviaPower, {}, {}, {}, {}, oleviaBaudIndex, true };
    static const ModelColumn vvuon { vvuonPowerOn, vvuonPowerOff, vvuonMuteOn, vvuonMuteOff, vvuonVolume, {}, 0, true };
    static const ModelColumn vvuonAll {
        vvuonPowerOn, vvuonPowerOff, vvuonAllMuteOn, vvuonAllMuteOff, vvuonVolume, {}, 0, true
    };
    static const ModelColumn d525 { d525PowerOn, d525PowerOff, {}, {}, {}, {}, 0, false };
    switch (model) {
    case DisplayModel::Olevia:
        return olevia;
    case DisplayModel::HyundaiVvuon:
        return reach == SendReach::AllPorts ? vvuonAll : vvuon;
    case DisplayModel::HyundaiD525ML:
        return d525;
    case DisplayModel::LG:
        break;
    }
    return lgColumn;
}

void writeCommands(ModelCommandSet &set, const ModelColumn &column)
{
    const std::pair<const std::optional<QString> &, QString &> fields[] = {
        { column.powerOn, set.powerOnCommand }, { column.powerOff, set.powerOffCommand },
        { column.muteOn, set.muteOnCommand },   { column.muteOff, set.muteOffCommand },
        { column.volume, set.volumeCommand },   { column.autoConfig, set.autoConfigCommand },
    };
    for (const auto &[value, field] : fields) {
        if (value)
            field = *value;
    }
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
    set.powerOnCommand = shortIdPowerOn;
    set.powerOffCommand = shortIdPowerOff;
    set.muteOnCommand = shortIdMuteOn;
    set.muteOffCommand = shortIdMuteOff;
    set.volumeCommand = shortIdVolume;
    set.autoConfigCommand = lgAutoConfig;
    setLineSettings(set, LineSettingsSelection {});
    return set;
}

LineSettings ModelCommandSet::lineSettings() const
{
    return { modelBaudRate, modelParity, modelDataBits, modelStopBits };
}

ModelChoice chooseDisplayModel(ModelCommandSet &set, QStringView modelName)
{
    const ModelColumn &column = listColumn(displayModelFromName(modelName));
    writeCommands(set, column);
    ModelChoice choice;
    choice.lineSettings.baudIndex = column.baudIndex;
    choice.volumeControlsEnabled = column.volumeControls;
    return choice;
}

ModelMuteAndVolume muteAndVolumeFor(DisplayModel model)
{
    const ModelColumn &column = listColumn(model);
    ModelCommandSet set;
    LineSettingsSelection selection;
    selection.baudIndex = column.baudIndex;
    setLineSettings(set, selection);
    return { column.muteOn, column.muteOff, column.volume, set.lineSettings() };
}

void applyModelForSend(ModelCommandSet &set, QStringView modelName, SendReach reach)
{
    const ModelColumn &column = sendColumn(portDisplayModel(modelName), reach);
    writeCommands(set, column);
    LineSettingsSelection selection;
    selection.baudIndex = column.baudIndex;
    setLineSettings(set, selection);
}

} // namespace vantiro
