#pragma once

#include "commands/command_dispatch.h"
#include "commands/display_models.h"

#include <QString>

#include <optional>

namespace vantiro {

class Prompts;

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

// Turns a quick-command button into a request for the executor. The buttons send nothing
// themselves: each picks its command from the window's command set and hands it over with its index
// and the window as it stands at the click.
class QuickCommands
{
public:
    QuickCommands(const ModelCommandSet &commands, const SendSnapshotSource &window, CommandDispatch &dispatch,
                  Prompts &prompts);

    // Hands button `index` (0 to 8) over for the executor's next tick and returns its completion.
    // Set Volume without a volume tells the operator and hands nothing over; neither does an index
    // that names no button.
    std::optional<QFuture<CommandReport>> send(int index, const QString &volumeText);

private:
    const ModelCommandSet &m_commands;
    const SendSnapshotSource &m_window;
    CommandDispatch &m_dispatch;
    Prompts &m_prompts;
};

// The hand-off of button `index` (0 to 8) for a group with these ports, taken from the command set,
// or nothing: Set Volume without a volume tells the operator, and an index that names no button
// hands nothing over.
std::optional<CommandHandOff> quickCommandHandOff(int index, const QString &volumeText, const ModelCommandSet &commands,
                                                  const QList<GroupPort> &groupPorts, Prompts &prompts);

// The volume command for one port: the template's "_" filled with the volume in the encoding the
// port's model reads (decimal digits for a Hyundai Vvuon, hexadecimal digits for the others) and
// trimmed. Nothing when the volume text is not a whole number.
std::optional<QString> volumeCommandFor(const QString &volumeTemplate, const QString &volumeText,
                                        QStringView portModel);

// The Mute ON, Mute OFF or Set Volume command for a display of this model sent on its own (in a group
// of several models): the model's own command, the volume encoded as that model reads it. Nothing
// when the model has no such command or the volume text is no number.
std::optional<QString> muteOrVolumeCommandFor(QuickCommand button, DisplayModel model, const QString &volumeText);

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
