#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace vantiro {

// The systemd user unit vantiro.service, which runs `vantiro --background` from boot. The package installs it and
// enables it for nobody; the user enables it here, and asks logind to keep the user's services running when nobody
// is logged in ("linger"), so the schedule runs from boot without a login. systemctl and loginctl are run as the
// user and found on PATH, without waiting for them: each answer comes as a signal, so a window never stalls.
class BackgroundUnit : public QObject
{
    Q_OBJECT

public:
    static inline const QString unitName = QStringLiteral("vantiro.service");

    // What a change did: whether the unit is enabled afterwards, and what could not be done, in the user's words
    // (empty when everything was).
    struct Outcome
    {
        bool enabled = false;
        QString problem;
    };

    explicit BackgroundUnit(QObject *parent = nullptr);

    // Asks whether the unit is enabled for this user; answered by stateKnown.
    void askState();
    // Enables the unit, then asks for linger unless it is on already; answered by changed.
    void enable();
    // Disables the unit, leaving linger as it is (other services of the user may need it); answered by changed.
    void disable();

    // How long one call of systemctl or loginctl may take.
    static constexpr std::chrono::seconds toolTimeout { 15 };

signals:
    // Nothing, with the reason, when systemctl cannot tell.
    void stateKnown(std::optional<bool> enabled, const QString &problem);
    void changed(const BackgroundUnit::Outcome &outcome);

private:
    struct ToolRun
    {
        bool ran = false; // started and ended with status 0
        QString output;
        QString problem; // why it did not run or failed, its own words included
    };
    void run(const QString &program, const QStringList &arguments, std::function<void(const ToolRun &)> then);
    void askForLinger();
    static QString systemctlProblem(const ToolRun &run);
};

} // namespace vantiro
