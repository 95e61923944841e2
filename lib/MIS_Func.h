#pragma once
// One key of an INI file at a time, with the results of the Windows profile
// service (see ProfileFile.h), and the library's version text.

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// Value of Key in Section of FileName, or Default when the file, section or
// key is missing; Default without touching the file when Section or Key is
// empty. At most 2047 characters come back.
QString IniReadString(
    const QString &Section, const QString &Key, const QString &Default, const QString &FileName);
// Writes Key=Value into Section, changing only that line (or adding it, or
// the section); a missing file is created. Throws EQLXError("Unable to write
// to <FileName>") when the file cannot be read or written, or the names or
// value cannot be stored (a line break, see ProfileFile.h); the old file then
// stays whole.
void IniWriteString(
    const QString &Section, const QString &Key, const QString &Value, const QString &FileName);
// Several keys of one section in one read of the file (keys not empty):
// each value, or its default (Defaults[i] for Keys[i]) when missing.
QStringList IniReadStrings(
    const QString &Section, const QStringList &Keys, const QStringList &Defaults, const QString &FileName);
// Several keys of one section in one replacement of the file, as
// IniWriteString writes one: all of them are written, or none.
void IniWriteStrings(
    const QString &Section, const QList<std::pair<QString, QString>> &KeyValues, const QString &FileName);
// The same for values kept as raw bytes (folder names, which need not be
// valid text): read and written byte for byte, never decoded.
QByteArray IniReadBytes(
    const QString &Section, const QString &Key, const QByteArray &Default, const QString &FileName);
void IniWriteBytes(
    const QString &Section, const QString &Key, const QByteArray &Value, const QString &FileName);
// Several such keys in one replacement of the file: all or none.
void IniWriteBytes(
    const QString &Section, const QList<std::pair<QString, QByteArray>> &KeyValues, const QString &FileName);
// "5.1.00 31-01-2002"
QString LibraryVersion();
