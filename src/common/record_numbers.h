#pragma once

#include <QStringView>

#include <optional>

namespace vantiro {

// How the INI files' lists are numbered: a count key ("Groups", "Button") and records "1", "2", ...

// A count read as a whole number by its leading digits, as the files' numbers always were ("2.5" is 2,
// a count beyond the largest int is that int). Nothing when there are no digits or the number is
// negative.
std::optional<qint64> leadingWholeNumber(QStringView text);

// The number of a record key as a save writes it: "1" to "2147483647", with no sign, blank or leading
// zero.
std::optional<int> recordNumber(QStringView key);

} // namespace vantiro
