#pragma once

#include <QString>

#include <optional>

namespace vantiro {

// The COM numbers the program sends to.
inline constexpr int lowestComPort = 1;
inline constexpr int highestComPort = 255;

// The COM number a port text names: a whole number from 1 to 255, written in decimal digits only,
// blanks around it allowed ("7", " 07 "). Anything else ("abc", "0", "-3", "+5", "99999") names no
// port, so a send to it must not go anywhere.
std::optional<int> comPortNumber(QStringView portText);

} // namespace vantiro
