// The INI writer over any bytes. Input: lines for the section, the key, the
// value, and another section and key to look at; then the file's bytes.
// Setting a key must read back as set, change no other value, keep every
// line it did not touch byte for byte (and the changed line's line end),
// and change nothing more when done twice.

#include "../FuzzCheck.h"

#include "ProfileFile.h"
#include "QLXError.h"
#include "TextCodec.h"

#include <QList>

namespace
{

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f';
}

QString blanksDropped(const QString &name)
{
    qsizetype begin = 0;
    qsizetype end = name.size();
    while (begin < end && isBlank(name[begin]))
        ++begin;
    while (end > begin && isBlank(name[end - 1]))
        --end;
    return name.mid(begin, end - begin);
}

bool hasBreak(const QString &text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

// What reading gives back for a stored value: blanks around it dropped, one
// pair of quotes dropped, cut at the limit, never half a surrogate pair.
QString expectedRead(const QString &value)
{
    qsizetype begin = 0;
    qsizetype end = value.size();
    while (begin < end && isBlank(value[begin]))
        ++begin;
    while (end > begin && isBlank(value[end - 1]))
        --end;
    if (end - begin >= 2 && value[begin] == u'"' && value[end - 1] == u'"') {
        ++begin;
        --end;
    }
    QString result = value.mid(begin, end - begin);
    const int limit = ProfileFile::MaxValueLength;
    if (result.size() > limit)
        result.truncate(result[limit - 1].isHighSurrogate() ? limit - 1 : limit);
    return result;
}

QString folded(const QString &name)
{
    return name.trimmed().toCaseFolded();
}

struct Line {
    QByteArrayView text;
    QByteArrayView lineBreak;
    bool operator==(const Line &o) const { return text == o.text && lineBreak == o.lineBreak; }
};

QList<Line> splitLines(const QByteArray &content)
{
    QList<Line> lines;
    QByteArrayView all(content);
    if (all.startsWith("\xEF\xBB\xBF"))
        all = all.sliced(3);
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i] != '\r' && all[i] != '\n')
            continue;
        const qsizetype breakLength = (all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n') ? 2 : 1;
        lines.append({ all.sliced(start, i - start), all.sliced(i, breakLength) });
        i += breakLength - 1;
        start = i + 1;
    }
    if (start < all.size())
        lines.append({ all.sliced(start), QByteArrayView() });
    return lines;
}

// The new lines are the old ones with one line's text changed (its line end
// kept), or with one or two lines added in one place; a last line that had
// no line end may have gained one.
bool onlyOneChange(const QByteArray &before, const QByteArray &after)
{
    const QList<Line> oldLines = splitLines(before);
    const QList<Line> newLines = splitLines(after);
    qsizetype prefix = 0;
    while (prefix < oldLines.size() && prefix < newLines.size() && oldLines[prefix] == newLines[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < oldLines.size() - prefix && suffix < newLines.size() - prefix
        && oldLines[oldLines.size() - 1 - suffix] == newLines[newLines.size() - 1 - suffix])
        ++suffix;
    const qsizetype removed = oldLines.size() - prefix - suffix;
    const qsizetype added = newLines.size() - prefix - suffix;
    if (removed > 1)
        return false;
    if (added == removed)
        return removed == 0 || oldLines[prefix].lineBreak == newLines[prefix].lineBreak;
    if (added - removed < 1 || added - removed > 2)
        return false;
    if (removed == 1) // only a last line without a line end may gain one
        return prefix == oldLines.size() - 1 && oldLines[prefix].lineBreak.isEmpty()
            && oldLines[prefix].text == newLines[prefix].text && !newLines[prefix].lineBreak.isEmpty();
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputLines input(data, size);
    const QString section = DecodeText(input.take());
    const QString key = DecodeText(input.take());
    const QString value = DecodeText(input.take());
    const QString probeSection = DecodeText(input.take());
    const QString probeKey = DecodeText(input.take());
    const QByteArray content = input.rest();
    const QString missing = QStringLiteral("\x01missing");

    // Refused exactly when the names or the value cannot be stored as given.
    const QString sectionName = blanksDropped(section);
    const QString keyName = blanksDropped(key);
    const bool storable = !sectionName.isEmpty() && !sectionName.contains(u']') && !hasBreak(sectionName)
        && !keyName.isEmpty() && !keyName.contains(u'=') && !keyName.startsWith(u';')
        && !keyName.startsWith(u'[') && !hasBreak(keyName) && !hasBreak(value);
    QByteArray written;
    try {
        written = ProfileFile::writeString(content, section, key, value);
    } catch (const EQLXError &) {
        FUZZ_CHECK(!storable);
        return 0;
    }
    FUZZ_CHECK(storable);
    FUZZ_CHECK(ProfileFile::readString(written, section, key, missing) == expectedRead(value));
    const bool sameKey = folded(section) == folded(probeSection) && folded(key) == folded(probeKey);
    if (!sameKey)
        FUZZ_CHECK(ProfileFile::readString(written, probeSection, probeKey, missing)
            == ProfileFile::readString(content, probeSection, probeKey, missing));
    FUZZ_CHECK(written.startsWith("\xEF\xBB\xBF") == content.startsWith("\xEF\xBB\xBF"));
    FUZZ_CHECK(onlyOneChange(content, written));
    FUZZ_CHECK(ProfileFile::writeString(written, section, key, value) == written);

    // Raw bytes go in and come out the same way.
    const QByteArray raw = value.toUtf8().trimmed();
    try {
        const QByteArray rawWritten = ProfileFile::writeBytes(content, section, key, raw);
        QByteArray expected = raw;
        if (expected.size() >= 2 && expected.startsWith('"') && expected.endsWith('"'))
            expected = expected.sliced(1, expected.size() - 2);
        FUZZ_CHECK(ProfileFile::readBytes(rawWritten, section, key) == expected);
        FUZZ_CHECK(onlyOneChange(content, rawWritten));
    } catch (const EQLXError &) {
        FUZZ_CHECK(false); // writeString took the same names and value
    }
    return 0;
}
