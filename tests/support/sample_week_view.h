#pragma once

#include <QWidget>

#include <memory>

namespace vantiro {
class Clock;
class Prompts;
} // namespace vantiro

namespace vantiro::test {

// A week view over a small schedule of its own, as the Schedule tab opens it: rows on every day, on weekdays,
// one with an unreadable date, and a date without events.
std::unique_ptr<QWidget> sampleWeekView(Prompts &prompts, const Clock &clock, QWidget *parent);

} // namespace vantiro::test
