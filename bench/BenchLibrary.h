#pragma once
// A settings file in dir for a library made by generate_library (LIB/music
// and LIB/info) whose song information folder is a copy in dir, so that
// what a benchmark counts leaves the library as it was. Empty on failure.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

inline QString LibraryCopySettings(const QString &lib, const QTemporaryDir &dir)
{
    const QString info = dir.filePath(QStringLiteral("info"));
    if (QProcess::execute(QStringLiteral("cp"), { QStringLiteral("-a"), lib + QStringLiteral("/info"), info })
        != 0)
        return QString();
    const QString settings = dir.filePath(QStringLiteral("bench.INI"));
    QFile ini(settings);
    if (!ini.open(QIODevice::WriteOnly))
        return QString();
    ini.write("[MP3]\r\nDirectory=" + QFile::encodeName(lib + QStringLiteral("/music"))
        + "\r\nINI_Directory=" + QFile::encodeName(info) + "\r\n");
    return settings;
}
