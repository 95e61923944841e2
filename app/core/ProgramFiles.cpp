#include "ProgramFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Asked of the kernel with the effective ids: permission bits alone miss
// ACLs, read-only mounts and root.
bool canCreateFilesIn(const QString &folder)
{
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0;
}

QString configFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = QDir::cleanPath(base + QStringLiteral("/discora"));
    if (!QFileInfo(folder).isDir()) {
        QDir().mkpath(base);
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
    }
    return folder;
}

} // namespace

QString ProgramFilesFolder(const QString &programPath)
{
    const QString folder = QFileInfo(programPath).absolutePath();
    return canCreateFilesIn(folder) ? folder : configFolder();
}

QString ProgramFilePath(const QString &programPath, const QString &extension)
{
    QString name = QFileInfo(programPath).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return ProgramFilesFolder(programPath) + QLatin1Char('/') + name + extension;
}
