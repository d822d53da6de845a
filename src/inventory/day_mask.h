#pragma once

#include <QString>

namespace vantiro {

// The weekdays of a schedule row, Sunday first. The settings file holds them as seven "1"/"0"
// characters ("1000001"); the schedule list shows seven comma-separated elements, each a weekday tag
// ("S", "M", "T", "W", "Th", "F", "Sat") or "N" ("S,N,N,N,N,N,Sat").

// A "1" gives the day's tag, anything else (also a missing character) gives "N". Blanks around the
// mask do not count.
QString dayMaskToText(QStringView mask);
// An element "N" gives "0", any other element "1"; elements missing at the end give "0".
QString dayTextToMask(QStringView text);

} // namespace vantiro
