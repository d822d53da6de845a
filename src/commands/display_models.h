#pragma once

#include "serial/line_settings.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace vantiro {

// The four display models the main window knows, in the order of its model list.
enum class DisplayModel { LG, Olevia, HyundaiVvuon, HyundaiD525ML };

// The model list's texts: "LG", "OLEVIA", "HYUNDAI-Vvuon", "HYUNDAI-D525ML".
const QStringList &displayModelNames();
// Names are compared in upper case; anything that is not one of the other three counts as LG.
DisplayModel displayModelFromName(QStringView name);

// The model of a port row, as sending reads it: like the model list, and a plain "HYUNDAI" (an older
// name in hand-written files) is a Hyundai Vvuon. Blanks around the name do not count.
DisplayModel portDisplayModel(QStringView name);

// The items of the four line settings lists (baud rate, parity, data bits, stop bits).
const QStringList &baudRateItems();
const QStringList &parityItems();
const QStringList &dataBitsItems();
const QStringList &stopBitsItems();

// Which entry of each line settings list a model uses.
struct LineSettingsSelection
{
    int baudIndex = 0;
    int parityIndex = 2; // "n"
    int dataBitsIndex = 1; // "8"
    int stopBitsIndex = 0; // "1"

    friend bool operator==(const LineSettingsSelection &, const LineSettingsSelection &) = default;
};

// The commands the main window sends from, and the line settings in force after a model was applied.
struct ModelCommandSet
{
    QString powerOnCommand;
    QString powerOffCommand;
    QString muteOnCommand;
    QString muteOffCommand;
    QString volumeCommand;
    QString autoConfigCommand;
    QString modelBaudRate;
    QString modelParity;
    QString modelDataBits;
    QString modelStopBits;

    // The set before any model is chosen; the window then chooses LG at once.
    static ModelCommandSet initial();
    // The four model line settings fields.
    LineSettings lineSettings() const;

    friend bool operator==(const ModelCommandSet &, const ModelCommandSet &) = default;
};

// What choosing a model in the model list changes besides the commands.
struct ModelChoice
{
    LineSettingsSelection lineSettings;
    bool volumeControlsEnabled = true;
};

// Writes the model's commands into the set; a model leaves the commands it has no row for as they
// were (so choosing HYUNDAI-D525ML keeps the mute and volume commands of the model chosen before).
// The line settings fields are not touched: the window copies them from its lists after selecting.
ModelChoice chooseDisplayModel(ModelCommandSet &set, QStringView modelName);

// What a display of one model takes for mute and volume, sent to its own port: the commands
// choosing the model in the model list gives (the HYUNDAI-D525ML has none) and the line settings the
// model's displays are sent at.
struct ModelMuteAndVolume
{
    std::optional<QString> muteOn;
    std::optional<QString> muteOff;
    std::optional<QString> volume; // a template: "_" takes the encoded volume
    LineSettings lineSettings;
};
ModelMuteAndVolume muteAndVolumeFor(DisplayModel model);

// How a send addresses its ports: each port of the loaded group, or every COM port of the list.
// The two differ in the mute pair a Hyundai Vvuon receives.
enum class SendReach { GroupPorts, AllPorts };

// The sender's column of the model table, applied once per port before a send. It writes the
// commands and the line settings fields of the set (from the list items, not the lists'
// selections). "HYUNDAI" is accepted as a Hyundai Vvuon here.
void applyModelForSend(ModelCommandSet &set, QStringView modelName, SendReach reach);

} // namespace vantiro
