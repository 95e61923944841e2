#include "ProgramSettings.h"

#include "FIL_Func.h"
#include "MIS_Func.h"
#include "QLXError.h"

#include <QFileInfo>

namespace
{

const QString Coordinates = QStringLiteral("Coordinates");
const QString MP3 = QStringLiteral("MP3");

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

} // namespace

QString TProgramSettings::PathFor(const QString &programPath)
{
    const qsizetype slash = programPath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = programPath.lastIndexOf(QLatin1Char('.'));
    const QString base = dot > slash + 1 ? programPath.left(dot) : programPath;
    return base + QStringLiteral(".INI");
}

void TProgramSettings::read(const QString &settingsPath, const QString &programFolder, QStringList &errors)
{
    Top = readInt(QStringLiteral("Top"), Top, settingsPath, errors);
    Left = readInt(QStringLiteral("Left"), Left, settingsPath, errors);
    Directory = RemoveBackslash(IniReadString(MP3, QStringLiteral("Directory"), QString(), settingsPath));
    INI_Directory
        = RemoveBackslash(IniReadString(MP3, QStringLiteral("INI_Directory"), QString(), settingsPath));
    if (!QFileInfo(Directory).isDir())
        Directory.clear();
    if (Directory.isEmpty())
        Directory = RemoveBackslash(programFolder);
    if (INI_Directory.isEmpty())
        INI_Directory = Directory;
}

void TProgramSettings::write(const QString &settingsPath) const
{
    IniWriteString(Coordinates, QStringLiteral("Top"), QString::number(Top), settingsPath);
    IniWriteString(Coordinates, QStringLiteral("Left"), QString::number(Left), settingsPath);
    IniWriteString(MP3, QStringLiteral("Directory"), Directory, settingsPath);
    IniWriteString(MP3, QStringLiteral("INI_Directory"), INI_Directory, settingsPath);
}
