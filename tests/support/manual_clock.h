#pragma once

#include "common/clock.h"

namespace vantiro::test {

// A clock that shows whatever the test sets, and moves only when told.
class ManualClock : public Clock
{
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2009, 3, 25), QTime(8, 0, 0)))
        : current(std::move(start))
    { }
    QDateTime now() const override { return current; }
    void advanceSeconds(int seconds) { current = current.addSecs(seconds); }

    QDateTime current;
};

} // namespace vantiro::test
