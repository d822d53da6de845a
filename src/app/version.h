#pragma once

#include <QString>

namespace vantiro {

// The main window's caption: "Vantiro " and the version as major.minor.revision (the build number,
// third of the four parts, is not shown), so 1.1.0.4 gives "Vantiro 1.1.4".
inline QString captionForVersion(int major, int minor, int /*build*/, int revision)
{
    return QStringLiteral("Vantiro %1.%2.%3").arg(major).arg(minor).arg(revision);
}

inline QString programCaption()
{
    return captionForVersion(VANTIRO_VERSION_MAJOR, VANTIRO_VERSION_MINOR, VANTIRO_VERSION_PATCH,
                             VANTIRO_VERSION_REVISION);
}

// The version as the package and the command-line tools give it: all four parts, "0.1.0.4".
inline QString packageVersion()
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(VANTIRO_VERSION_MAJOR)
        .arg(VANTIRO_VERSION_MINOR)
        .arg(VANTIRO_VERSION_PATCH)
        .arg(VANTIRO_VERSION_REVISION);
}

} // namespace vantiro
