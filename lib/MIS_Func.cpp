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

// Replaces the file with its content changed by change(content); a file that
// exists but cannot be read is refused rather than replaced by one holding
// only this key.
template <typename Change> void updateFile(const QString &FileName, Change change)
{
    const QByteArray path = QFile::encodeName(FileName);
    QByteArray content;
    try {
        if (!ReadFileForUpdate(path, content))
            throw EQLXError(QString());
        WriteFileAtomic(path, change(content));
    } catch (const EQLXError &) {
        throw EQLXError(UnableToWriteText(FileName));
    }
}

} // namespace

void IniWriteString(const QString &Section, const QString &Key, const QString &Value, const QString &FileName)
{
    updateFile(FileName,
        [&](const QByteArray &content) { return ProfileFile::writeString(content, Section, Key, Value); });
}

QStringList IniReadStrings(
    const QString &Section, const QStringList &Keys, const QStringList &Defaults, const QString &FileName)
{
    QByteArray content;
    if (Section.isEmpty() || !ReadWholeFile(QFile::encodeName(FileName), content))
        return Defaults;
    QStringList values;
    ProfileFile::readSection(content, Section, Keys, values);
    for (qsizetype i = 0; i < values.size(); ++i)
        if (values[i].isNull())
            values[i] = Defaults.value(i);
    return values;
}

void IniWriteStrings(
    const QString &Section, const QList<std::pair<QString, QString>> &KeyValues, const QString &FileName)
{
    updateFile(FileName, [&](QByteArray content) {
        for (const auto &[key, value] : KeyValues)
            content = ProfileFile::writeString(content, Section, key, value);
        return content;
    });
}

QByteArray IniReadBytes(
    const QString &Section, const QString &Key, const QByteArray &Default, const QString &FileName)
{
    if (Section.isEmpty() || Key.isEmpty())
        return Default;
    QByteArray content;
    if (!ReadWholeFile(QFile::encodeName(FileName), content))
        return Default;
    const QByteArray value = ProfileFile::readBytes(content, Section, Key);
    return value.isNull() ? Default : value;
}

void IniWriteBytes(
    const QString &Section, const QString &Key, const QByteArray &Value, const QString &FileName)
{
    updateFile(FileName,
        [&](const QByteArray &content) { return ProfileFile::writeBytes(content, Section, Key, Value); });
}

void IniWriteBytes(
    const QString &Section, const QList<std::pair<QString, QByteArray>> &KeyValues, const QString &FileName)
{
    updateFile(FileName, [&](QByteArray content) {
        for (const auto &[key, value] : KeyValues)
            content = ProfileFile::writeBytes(content, Section, key, value);
        return content;
    });
}

QString LibraryVersion()
{
    return QStringLiteral("5.1.00 31-01-2002");
}
