#include "ProgramFiles.h"

#include "FIL_Func.h"
#include "FileWrite.h"
#include "QLXError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
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

// A program below /usr was installed there (by the package or by hand) and
// shares its folder with every other program: its files never go there,
// not even for root, who may write anywhere. (/bin is a link to /usr/bin.)
bool installedForAll(const QString &folder)
{
    const QString real = QFileInfo(folder).canonicalFilePath();
    return real == QLatin1String("/usr") || real.startsWith(QLatin1String("/usr/"));
}

} // namespace

QString ProgramFilesFolder(const QString &programPath)
{
    const QString folder = QFileInfo(programPath).absolutePath();
    return canCreateFilesIn(folder) && !installedForAll(folder) ? folder : configFolder();
}

QString WithExtension(const QString &path, const QString &extension)
{
    return path.left(ExtensionStart(path)) + extension;
}

QString ProgramFilePath(const QString &programPath, const QString &extension)
{
    const QString programFolder = QFileInfo(programPath).absolutePath();
    const QString folder = ProgramFilesFolder(programPath);
    const QString name = WithExtension(QFileInfo(programPath).fileName(), extension);
    const QString path = folder + QLatin1Char('/') + name;
    if (folder == programFolder)
        return path;
    const QByteArray own = QFile::encodeName(path);
    const QByteArray beside = QFile::encodeName(programFolder + QLatin1Char('/') + name);
    struct stat st;
    QByteArray bytes;
    if (::lstat(own.constData(), &st) == 0 || errno != ENOENT || !ReadWholeFile(beside, bytes))
        return path;
    try {
        WriteFileAtomic(own, bytes);
    } catch (const EQLXError &) {
        return QFile::decodeName(beside);
    }
    return path;
}

void RemoveStaleProgramTemporaries(const QString &programPath)
{
    const QString name = QFileInfo(programPath).fileName();
    RemoveStaleTemporaries(QFile::encodeName(ProgramFilesFolder(programPath)),
        { QFile::encodeName(WithExtension(name, QStringLiteral(".INI"))),
            QFile::encodeName(WithExtension(name, QStringLiteral(".TXT"))),
            QFile::encodeName(WithExtension(name, QStringLiteral(".IDX"))),
            QFile::encodeName(WithExtension(name, QStringLiteral(".LOG"))),
            QFile::encodeName(WithExtension(name, QStringLiteral(".TAG"))),
            QFile::encodeName(WithExtension(name, QStringLiteral(".VAL"))) });
}
