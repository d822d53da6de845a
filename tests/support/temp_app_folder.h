#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace vantiro::test {

// A fresh application folder for one test, removed afterwards.
class TempAppFolder
{
public:
    TempAppFolder();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    void writeFile(const QString &name, const QByteArray &contents) const;
    QByteArray readFile(const QString &name) const;

private:
    QTemporaryDir m_dir;
};

} // namespace vantiro::test
