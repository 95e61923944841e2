#pragma once
// INI ("profile") files with the results of the Windows private-profile
// service, read and changed without ever rewriting lines we did not touch.
//
// Reading: CR, LF or CR LF line ends; a UTF-8 byte-order mark at the start is
// skipped; lines before the first section are ignored; lines starting with
// ";" are comments and lines without "=" are no keys; section and key names
// compare without regard to letter case and with blanks around them dropped;
// the first matching section and, within it, the first matching key win;
// blanks around a value are dropped, then one pair of enclosing double
// quotes; a value is cut at 2047 characters (never inside a surrogate pair).
// A key with an empty value reads as "", a missing one as the default.
// Each value is decoded on its own: UTF-8 when valid, else Windows-1252.
//
// Writing one key: an existing key line keeps everything up to the start of
// its value (key spelling, blanks around "=") and its line end; only the
// value is replaced. A missing key is added as "Key=Value" after the last key
// line of the run of key lines right after the section header (right after
// the header when that run is empty); a missing section is added at the end
// of the file. Blanks around the value are not stored (reading drops them).
// Every other byte stays.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

class ProfileFile
{
public:
    static constexpr int MaxValueLength = 2047;

    // Reads one value from the bytes of an INI file.
    static QString readString(
        const QByteArray &content, QStringView section, QStringView key, const QString &defaultValue);
    // Reads several keys of one section in one pass; values[i] is the value
    // of keys[i], or a null QString when the key is missing.
    static void readSection(
        const QByteArray &content, QStringView section, const QStringList &keys, QStringList &values);
    // The same, prepared once for reading many files: the names are not
    // taken apart again for every file. Safe to share between threads.
    class SectionReader
    {
    public:
        SectionReader(QStringView section, const QStringList &keys);
        ~SectionReader();
        void read(const QByteArray &content, QStringList &values) const;

    private:
        struct Names;
        std::unique_ptr<const Names> m_names;
    };
    // The number of the line (from 0, a byte-order mark skipped; lines end at
    // CR, LF or CR LF) that starts the section a read looks into, or -1 when
    // the file has no such section.
    static qsizetype sectionLine(const QByteArray &content, QStringView section);
    // The number of the line after the run of key lines right after that
    // section's header (after the header itself when the run is empty): a
    // key that writing adds goes before it. -1 when there is no such section.
    static qsizetype sectionKeysEnd(const QByteArray &content, QStringView section);
    // Returns the content with one key set. A key line added to a section ends
    // like the line it follows; other new lines end in the file's first line
    // end, CR LF in a file without any.
    // Throws EQLXError, leaving nothing changed, for what the file could not
    // hold as given: an empty section or key name, a line break anywhere, "]"
    // in the section name, "=" in the key or a key starting with ";" or "[".
    static QByteArray writeString(
        const QByteArray &content, QStringView section, QStringView key, const QString &value);

    // The same for a value kept as raw bytes, such as a folder's name, which
    // need not be text in any encoding: read and written byte for byte (blanks
    // and one pair of enclosing quotes dropped on reading, as for text, but
    // not decoded or cut). readBytes gives a null QByteArray for a missing key.
    static QByteArray readBytes(const QByteArray &content, QStringView section, QStringView key);
    static QByteArray writeBytes(
        const QByteArray &content, QStringView section, QStringView key, const QByteArray &value);
};
