#pragma once

#include "commands/display_models.h"

#include <QString>

#include <optional>

namespace vantiro {

class Prompts;
class TextTableModel;
struct CommandHandOff;

// The main window's nine quick-command buttons, by their index in the window.
enum class QuickCommand {
    MonitorsOn = 0,
    MonitorsOff = 1,
    MonitorsAllOn = 2,
    MonitorsAllOff = 3,
    MuteOn = 4,
    MuteOff = 5,
    SetVolume = 6,
    AutoConfig = 7,
    AutoConfigAll = 8,
};

inline constexpr int quickCommandCount = 9;

// Turns a quick-command button into a hand-off for the executor. The buttons send nothing
// themselves: each picks its command from the window's command set and leaves it with its index.
class QuickCommands
{
public:
    QuickCommands(const ModelCommandSet &commands, const TextTableModel &portTable, CommandHandOff &handOff,
                  Prompts &prompts);

    // Fills the hand-off for button `index` (0 to 8) and returns true when the executor is to be
    // started. Set Volume without a volume tells the operator and returns false; so does an index
    // that names no button (and that one changes nothing).
    bool dispatch(int index, const QString &volumeText);

private:
    bool prepareVolume(const QString &volumeText);

    const ModelCommandSet &m_commands;
    const TextTableModel &m_portTable;
    CommandHandOff &m_handOff;
    Prompts &m_prompts;
};

// The volume command for one port: the template's "_" filled with the volume in the encoding the
// port's model reads (decimal digits for a Hyundai Vvuon, hexadecimal digits for the others) and
// trimmed. Nothing when the volume text is not a whole number.
std::optional<QString> volumeCommandFor(const QString &volumeTemplate, const QString &volumeText,
                                        QStringView portModel);

// What the volume box and the slider become after the volume text changed: a value above 100 is
// corrected to "100", one below 0 to "0", and the slider follows the value, rounded.
struct VolumeTextRule
{
    std::optional<QString> correctedText;
    int sliderValue = 0;
};
VolumeTextRule volumeTextChanged(const QString &text);

// The slider position for a volume text, before any correction.
double volumeReading(QStringView text);

// What a key typed into the volume box does: digits, backspace (8) and code 16 reach the text, Enter
// (13) sends the volume, every other key is discarded.
enum class VolumeKey { Pass, Send, Discard };
VolumeKey volumeKeyAction(char16_t characterCode);

} // namespace vantiro
