#pragma once

#include "common/ini_file.h"

#include <QList>
#include <QLockFile>
#include <QString>

#include <utility>

namespace vantiro::displays {

// Points COM numbers at devices in the Ports.ini of an application folder, keeping the file's other
// entries, and later puts the file back exactly as it was, or removes it again if there was none.
//
// The operator's file is kept on disk beside it ("Ports.ini.before-displays") before anything
// changes, and a file the tool made is marked ("Ports.ini.made-by-displays"), so a run that was
// killed loses nothing: the next run, or --restore, puts the file back. Every file is written whole
// or not at all (on a full disk the user's file stays as it was, and a copy that could not be written
// is never there to be put back). A lock beside the file keeps two runs from sharing one folder; the
// run that takes it clears the folder of what saves cut short by a kill left behind.
class PortsFileOverride
{
public:
    explicit PortsFileOverride(const QString &applicationFolder);

    QString filePath() const { return m_filePath; }
    QString backupPath() const { return m_filePath + QStringLiteral(".before-displays"); }
    QString madeMarkerPath() const { return m_filePath + QStringLiteral(".made-by-displays"); }

    // Takes the folder for this run; fails while another run uses it.
    SaveResult claim();
    // Whether an earlier run ended without putting Ports.ini back.
    bool isLeftOver() const;
    // Each COM number with its device.
    SaveResult install(const QList<std::pair<int, QString>> &devices);
    // Puts back what the backup or the marker says, this run's or one left over; nothing to do is fine.
    SaveResult restore();

private:
    QString m_filePath;
    QLockFile m_lock;
};

} // namespace vantiro::displays
