#include "MIS_Func.h"

#include "FileWrite.h"
#include "ProfileFile.h"
#include "QLXError.h"

#include <QFile>

QString IniReadString(
    const QString &Section, const QString &Key, const QString &Default, const QString &FileName)
{
    if (Section.isEmpty() || Key.isEmpty())
        return Default;
    QByteArray content;
    if (!ReadWholeFile(QFile::encodeName(FileName), content))
        return Default;
    return ProfileFile::readString(content, Section, Key, Default);
}

namespace
{

[[noreturn]] void refuseWrite(const QString &FileName)
{
    throw EQLXError(QStringLiteral("Unable to write to %1").arg(FileName));
}

} // namespace

void IniWriteString(const QString &Section, const QString &Key, const QString &Value, const QString &FileName)
{
    const QByteArray path = QFile::encodeName(FileName);
    QByteArray content;
    // A file that exists but cannot be read is refused rather than replaced
    // by one holding only this key.
    if (!ReadFileForUpdate(path, content))
        refuseWrite(FileName);
    try {
        WriteFileAtomic(path, ProfileFile::writeString(content, Section, Key, Value));
    } catch (const EQLXError &) {
        refuseWrite(FileName);
    }
}

QString LibraryVersion()
{
    return QStringLiteral("5.1.00 31-01-2002");
}
