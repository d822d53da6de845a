#pragma once

#include <QByteArray>

#include <cstdio>

namespace vantiro {

// Writes the bytes to a standard stream at once, so that a reader on a pipe (a journal, a test) sees
// each line as it is said. False when they could not be written whole (a full disk, a closed pipe).
inline bool printBytes(std::FILE *stream, const QByteArray &bytes)
{
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size());
    return std::fflush(stream) == 0 && written;
}

} // namespace vantiro
