#pragma once

#include "commands/command_dispatch.h"
#include "common/ini_file.h"
#include "serial/line_settings.h"

#include <QFuture>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace vantiro {

class Prompts;

// The LG panel drives up to five LG displays, each from a section of its own with its own COM port;
// the five share one set of line settings. Every command goes to the main window's executor as an
// LG panel request ("100"), so it leaves with RTS and XON/XOFF flow control.
inline constexpr int lgSectionCount = 5;

// The entries of a section's lists; an entry's position is the value its command carries.
const QStringList &lgInputSelectItems();
const QStringList &lgAspectRatioItems();
const QStringList &lgTvInputItems();

enum class LgTvInput { NtscAir = 0, NtscCatv = 1, AtscAir = 2 };

// A list's template ("kb 01 0_", "kc 01 0_") with the chosen position (0 to 9) filled in.
QString lgListCommand(const QString &commandTemplate, int position);

// "kf 01 _" with the volume (clamped to 0..100) filled in; nothing, and the operator told, when the
// volume text holds no number.
std::optional<QString> lgVolumeCommand(const QString &volumeText, Prompts &prompts);

// The tuning command for a TV input, channel and (ATSC only) minor channel; nothing, and the operator
// told, when an input or a channel is missing or a channel lies beyond 255, which the command's two
// hexadecimal digits cannot carry.
std::optional<QString> lgChannelCommand(std::optional<LgTvInput> tvInput, const QString &channelText,
                                        const QString &minorChannelText, Prompts &prompts);

// Hands a section's command to the executor after checking its port and the shared line settings,
// and keeps the port and line settings of the last hand-off.
class LgPanelSender
{
public:
    LgPanelSender(CommandDispatch &dispatch, Prompts &prompts);

    // The request's completion, or nothing when the operator was told what is missing.
    std::optional<QFuture<CommandReport>> sendToSection(const QString &portText, const LineSettings &lineSettings,
                                                        const QString &command);

    const QString &panelCommPort() const { return m_panelCommPort; }
    const QString &panelLineSettings() const { return m_panelLineSettings; }

private:
    CommandDispatch &m_dispatch;
    Prompts &m_prompts;
    QString m_panelCommPort = QStringLiteral("1");
    QString m_panelLineSettings;
};

// What "LGSettings.ini" keeps: the shared line settings and each section's label and port.
struct LgSectionSettings
{
    QString label;
    QString comPort = QStringLiteral("1");

    friend bool operator==(const LgSectionSettings &, const LgSectionSettings &) = default;
};

struct LgSettings
{
    // 9600, "n", "8", "1", no labels, every port "1".
    LineSettings lineSettings { QStringLiteral("9600"), QStringLiteral("n"), QStringLiteral("8"), QStringLiteral("1") };
    std::array<LgSectionSettings, lgSectionCount> sections;

    friend bool operator==(const LgSettings &, const LgSettings &) = default;
};

inline const QString lgSettingsFileName = QStringLiteral("LGSettings.ini");

// Reads the file over `settings`: an empty or absent value keeps what is there, and a line setting
// that none of its list's items spells (letter case aside) keeps it too.
void readLgSettings(const IniFile &ini, LgSettings &settings);
// The whole file as a save writes it, values without blanks at either end.
IniFile lgSettingsToIni(const LgSettings &settings);

} // namespace vantiro
