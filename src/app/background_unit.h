#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace vantiro {

// The systemd user unit vantiro.service, which runs `vantiro --background` from boot. The package installs it and
// enables it for nobody; the user enables it here, and asks logind to keep the user's services running when nobody
// is logged in ("linger"), so the schedule runs from boot without a login. systemctl and loginctl are run as the
// user and found on PATH.
class BackgroundUnit
{
public:
    static inline const QString unitName = QStringLiteral("vantiro.service");

    // What a change did: whether the unit is enabled afterwards, and what could not be done, in the user's words
    // (empty when everything was).
    struct Outcome
    {
        bool enabled = false;
        QString problem;
    };

    // Whether the unit is enabled for this user; nothing, with the reason, when systemctl cannot tell.
    std::optional<bool> isEnabled(QString *problem = nullptr) const;
    // Enables the unit, then asks for linger unless it is on already.
    Outcome enable() const;
    // Disables the unit. Linger is left as it is: other services of the user may need it.
    Outcome disable() const;

    // How long one call of systemctl or loginctl may take.
    static constexpr std::chrono::seconds toolTimeout { 15 };

private:
    struct ToolRun
    {
        bool ran = false; // started and ended with status 0
        QString output;
        QString problem; // why it did not run or failed, its own words included
    };
    // Runs while the caller's event loop keeps going, so a window's schedule fires meanwhile.
    static ToolRun run(const QString &program, const QStringList &arguments);
    static QString systemctlProblem(const ToolRun &run);
};

} // namespace vantiro
