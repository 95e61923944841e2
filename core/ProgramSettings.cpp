#include "ProgramSettings.h"

#include "FIL_Func.h"
#include "LibraryKind.h"
#include "MIS_Func.h"
#include "ProgramFiles.h"
#include "QLXError.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

namespace
{

const QString Coordinates = QStringLiteral("Coordinates");
const QString MP3 = QStringLiteral("MP3");
const QString LibraryKey = QStringLiteral("Library");

int readInt(const QString &key, int current, const QString &path, QStringList &errors)
{
    const QString text = IniReadString(Coordinates, key, QString::number(current), path);
    try {
        return StrToInt(text);
    } catch (const EQLXError &e) {
        errors.append(e.message());
        return current;
    }
}

// The folder without a trailing "/"; the root stays "/".
QByteArray withoutSlash(QByteArray folder)
{
    if (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    return folder;
}

bool isFolder(const QByteArray &path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

QString TProgramSettings::PathFor(const QString &programPath)
{
    return WithExtension(programPath, QStringLiteral(".INI"));
}

QString TProgramSettings::MusicDefault(const QString &programPath)
{
    const QString programFolder = QFileInfo(programPath).absolutePath();
    if (ProgramFilesFolder(programPath) == programFolder)
        return QString();
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
}

void TProgramSettings::read(const QString &settingsPath, const QString &programFolder, QStringList &errors,
    const QString &musicDefault)
{
    Top = readInt(QStringLiteral("Top"), Top, settingsPath, errors);
    Left = readInt(QStringLiteral("Left"), Left, settingsPath, errors);
    Directory = withoutSlash(IniReadBytes(MP3, QStringLiteral("Directory"), QByteArray(), settingsPath));
    INI_Directory
        = withoutSlash(IniReadBytes(MP3, QStringLiteral("INI_Directory"), QByteArray(), settingsPath));
    const QString kind = IniReadString(MP3, LibraryKey, QString(), settingsPath).trimmed();
    LibraryNamed = !kind.isEmpty();
    Library = kind.compare(QLatin1String("Tree"), Qt::CaseInsensitive) == 0 ? TLibraryKind::Tree
                                                                            : TLibraryKind::Folder;
    if (Directory.isEmpty() && isFolder(QFile::encodeName(musicDefault))) {
        Directory = withoutSlash(QFile::encodeName(musicDefault));
        if (!LibraryNamed && CountLibraryKind(Directory).beyondFolder > 0)
            Library = TLibraryKind::Tree;
    }
    if (!isFolder(Directory))
        Directory = withoutSlash(QFile::encodeName(programFolder));
    if (INI_Directory.isEmpty())
        INI_Directory = Directory;
}

void TProgramSettings::write(const QString &settingsPath) const
{
    IniWriteString(Coordinates, QStringLiteral("Top"), QString::number(Top), settingsPath);
    IniWriteString(Coordinates, QStringLiteral("Left"), QString::number(Left), settingsPath);
    IniWriteBytes(MP3, QStringLiteral("Directory"), Directory, settingsPath);
    IniWriteBytes(MP3, QStringLiteral("INI_Directory"), INI_Directory, settingsPath);
    if (Library == TLibraryKind::Tree || LibraryNamed)
        IniWriteString(MP3, LibraryKey, libraryValue(), settingsPath);
}

QString TProgramSettings::libraryValue() const
{
    return Library == TLibraryKind::Tree ? QStringLiteral("Tree") : QStringLiteral("Folder");
}

void TProgramSettings::writeFolders(const QString &settingsPath) const
{
    QList<std::pair<QString, QByteArray>> keys { { QStringLiteral("Directory"), Directory },
        { QStringLiteral("INI_Directory"), INI_Directory } };
    if (Library == TLibraryKind::Tree || LibraryNamed)
        keys.emplace_back(LibraryKey, libraryValue().toUtf8());
    IniWriteBytes(MP3, keys, settingsPath);
}
