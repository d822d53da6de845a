#pragma once

#include <QDateTime>

namespace vantiro {

// The current local date and time. The program asks this instead of the system, so the schedule and
// the status log can be run by tests on days of their choosing.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace vantiro
