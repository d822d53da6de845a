#pragma once

#include "common/ini_file.h"
#include "common/prompts.h"
#include "custom/panel_button.h"

#include <QString>

#include <optional>

namespace vantiro {

// "CustomSerialCommands.ini" in the application folder: optional, written by hand, read only on demand.
inline const QString customCommandsFileName = QStringLiteral("CustomSerialCommands.ini");

// A command key as both panel files are read: its value without blanks at either end, or nothing when
// the key is missing or empty (its command then stays as it is).
std::optional<QString> readCommandValue(const IniFile &ini, const QString &section, const QString &key);

// The commands the custom panel sends: three for HYUNDAI_D525ML displays and five for every other
// model. A new set holds the built-in commands.
struct PanelCommandSet
{
    QString hyundaiOnCommand;
    QString hyundaiOffCommand;
    QString hyundaiSignageCommand;
    // The LG "On" and "Off" are the screen-mute commands: the panel blacks out and restores the picture
    // rather than switching the display.
    QString lgOnCommand;
    QString lgOffCommand;
    QString lgInputCommand; // "_": the input's code
    QString lgVolumeCommand; // "_": the volume
    QString lgChannelCommand; // both "_": the channel

    PanelCommandSet();

    void setHyundaiDefaultCommands();
    void setLgDefaultCommands();

    // The replacements of "CustomSerialCommands.ini"; a missing or empty key keeps its command. When
    // both "Digital Signage" and "Tuner" are given for LG, "Tuner" wins.
    void applyCustomSerialCommands(const IniFile &ini);
    // Reads "CustomSerialCommands.ini" of the application folder. False, with nothing changed, when
    // there is no such file or it cannot be read.
    bool loadCustomSerialCommands(const QString &applicationFolder, BusyPointer &busyPointer);

    // The "ON" and "OFF" replacements of the button file, applied whenever the button list is loaded.
    void applyButtonFileCommands(const ButtonFileContents &contents);

    friend bool operator==(const PanelCommandSet &, const PanelCommandSet &) = default;
};

} // namespace vantiro
