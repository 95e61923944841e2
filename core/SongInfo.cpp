#include "SongInfo.h"

#include "CaseFold.h"
#include "FIL_Func.h"
#include "FileWrite.h"
#include "ProfileFile.h"
#include "QLXError.h"
#include "STR_Func.h"
#include "TextCodec.h"
#include "TextLines.h"

#include <algorithm>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace SongInfo
{

namespace
{

const QString InfoSection = QString::fromLatin1(Section);
const QString KeyUsageCount = QStringLiteral("UsageCount");
const QString KeyPlaytime = QStringLiteral("Playtime");
const QString KeyLyrics = QStringLiteral("Lyrics");
const QString KeySongYear = QStringLiteral("SongYear");
constexpr int KeyWidth = 10;

QString orDefault(const QString &value, const QString &defaultValue)
{
    return value.isNull() ? defaultValue : value;
}

// name = InfoFileName(mp3Name), reusing name's room.
void setInfoFileName(QByteArrayView mp3Name, QByteArray &name)
{
    mp3Name = mp3Name.sliced(mp3Name.lastIndexOf('/') + 1);
    name.resize(0);
    name.append(mp3Name.first(ExtensionStart(mp3Name))).append(".INI");
}

bool hasIniExtension(QByteArrayView name)
{
    return name.size() > 4 && qstrnicmp(name.data() + name.size() - 4, ".ini", 4) == 0;
}

// Removes name when it is the abandoned temporary file of an interrupted
// write of a song information file.
void removeIfStaleTemporary(int dirFd, QByteArrayView name, time_t now)
{
    const QByteArrayView stem = WriteTemporaryStem(name);
    if (!stem.isNull() && (hasIniExtension(stem) || stem.size() == MaxTempNameStem))
        RemoveStaleTemporary(dirFd, name.data(), now);
}

// Only a to z change; "instrumental" must match without any locale's rules.
QString asciiUpper(QStringView text)
{
    QString upper = text.toString();
    for (QChar &c : upper) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - u'a' + u'A');
    }
    return upper;
}

bool isMarkerLine(const QString &line)
{
    const qsizetype equals = line.indexOf(u'=');
    return equals >= 0 && StrTrim(line.left(equals)) == KeyLyrics;
}

// A field value shares its line with its key; a line break in it would start
// new lines (or sections) in the file.
QString singleLine(QString value)
{
    value.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return value;
}

QString prefixed(const QString &key, const QString &value)
{
    return key.leftJustified(KeyWidth, u' ') + QStringLiteral(" = ") + singleLine(value);
}

QString usageCountText(const QString &value)
{
    const QString count = StrTrim(orDefault(value, QStringLiteral("0")));
    return count.isEmpty() ? QStringLiteral("0") : count;
}

// UsageCount + 1. A count at the top of the 32-bit range cannot be raised
// without writing a number the program could not read back.
QString nextCount(const QString &countText)
{
    const qint64 next = qint64(StrToInt(countText)) + 1;
    if (next > std::numeric_limits<int>::max())
        throw EQLXError(u'\'' + QString::number(next) + QStringLiteral("' is not a valid integer value"));
    return QString::number(next);
}

// The number of the first marker line of the lyrics, lines.size() for none.
qsizetype markerLine(const QStringList &lines)
{
    qsizetype marker = 0;
    while (marker < lines.size() && !isMarkerLine(lines[marker]))
        ++marker;
    return marker;
}

// content with a line of text added after its line number line (counted from
// 0 as ProfileFile counts them), ending like that line.
QByteArray withLineAfter(const QByteArray &content, qsizetype line, const QByteArray &text)
{
    qsizetype start = content.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    qsizetype next = 0;
    qsizetype end = LineEnd(content, start, next);
    for (qsizetype i = 0; i < line; ++i) {
        start = next;
        end = LineEnd(content, start, next);
    }
    const QByteArray lineBreak = next > end ? content.sliced(end, next - end) : QByteArrayLiteral("\r\n");
    return content.left(end) + lineBreak + text + content.sliced(end, next - end) + content.sliced(next);
}

// The lyric lines as the file holds them: without trailing characters 0 to 32.
QStringList lyricLines(const QString &lyricsText)
{
    QStringList lines = SplitTextLines(lyricsText);
    for (QString &line : lines)
        line = StrTrimRight(line);
    return lines;
}

} // namespace

QString SeparatorLine()
{
    return QStringLiteral("; ") + QString(42, u'*');
}

QByteArray InfoFileName(const QByteArray &mp3Name)
{
    QByteArray name;
    setInfoFileName(mp3Name, name);
    return name;
}

QByteArray InfoNameBelow(QByteArrayView songPath)
{
    QByteArray name;
    InfoNameBelow(songPath, name);
    return name;
}

void InfoNameBelow(QByteArrayView songPath, QByteArray &name)
{
    name.resize(0);
    name.append(songPath.first(ExtensionStart(songPath))).append(".INI");
}

QByteArray PathInInfoFolder(const QByteArray &infoFolder, const QByteArray &name)
{
    return (infoFolder.isEmpty() || infoFolder.endsWith('/')) ? infoFolder + name : infoFolder + '/' + name;
}

QByteArray InfoFilePath(const QByteArray &infoFolder, const QByteArray &mp3Path)
{
    return PathInInfoFolder(infoFolder, InfoFileName(mp3Path));
}

Locator::Locator(const QByteArray &infoFolder)
    : m_folder(infoFolder)
{
}

void Locator::index(bool removeStaleTemporaries)
{
    m_pool.clear();
    m_entries.clear();
    m_interruptedMoves.clear();
    m_buckets.assign(2, 0);
    m_bucketBits = 0;
    m_indexed = true;
    DIR *dir = ::opendir(m_folder.isEmpty() ? "." : m_folder.constData());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    m_pool.reserve(ListingRoomHint(::dirfd(dir)));
    m_entries.reserve(m_pool.capacity() / 32);
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (removeStaleTemporaries && name.startsWith('.')) {
            if (name.startsWith(MoveTemporaryPrefix))
                m_interruptedMoves.push_back(name.toByteArray());
            else
                removeIfStaleTemporary(::dirfd(dir), name, now);
            continue;
        }
        if (entry->d_type == DT_DIR || !hasIniExtension(name))
            continue;
        m_entries.push_back({ FoldedHash(name), quint32(m_pool.size()), quint32(name.size()),
            entry->d_type == DT_REG ? 1u : 0u });
        m_pool.insert(m_pool.end(), name.begin(), name.end());
        m_pool.push_back('\0');
    }
    ::closedir(dir);
    std::sort(m_entries.begin(), m_entries.end(),
        [](const Entry &a, const Entry &b) { return a.foldedHash < b.foldedHash; });
    m_bucketBits = 4;
    while (m_bucketBits < 24 && (size_t(4) << m_bucketBits) < m_entries.size())
        ++m_bucketBits;
    m_buckets.assign((size_t(1) << m_bucketBits) + 1, 0);
    size_t e = 0;
    for (size_t b = 0; b < m_buckets.size(); ++b) {
        while (e < m_entries.size() && (m_entries[e].foldedHash >> (64 - m_bucketBits)) < b)
            ++e;
        m_buckets[b] = quint32(e);
    }
}

Locator::Found Locator::find(QByteArrayView mp3Name, QByteArray &scratch) const
{
    setInfoFileName(mp3Name, scratch);
    if (!m_indexed)
        return {};
    const QByteArrayView name(scratch);
    const quint64 hash = FoldedHash(name);
    const size_t bucket = m_bucketBits ? size_t(hash >> (64 - m_bucketBits)) : 0;
    const auto end = m_entries.begin() + m_buckets[bucket + 1];
    auto it = std::lower_bound(m_entries.begin() + m_buckets[bucket], end, hash,
        [](const Entry &e, quint64 h) { return e.foldedHash < h; });
    // The exact name wins; of several case variants the smallest name, so
    // the choice does not depend on the order the folder lists them in.
    const Entry *best = nullptr;
    for (; it != end && it->foldedHash == hash; ++it) {
        const QByteArrayView candidate = nameOf(*it);
        if (candidate == name)
            return { m_pool.data() + it->offset, it->plainFile != 0, true, qsizetype(it->length) };
        if (SameIgnoringCase(candidate, name) && (!best || candidate < nameOf(*best)))
            best = &*it;
    }
    return best ? Found { m_pool.data() + best->offset, best->plainFile != 0, false, qsizetype(best->length) }
                : Found {};
}

QByteArray Locator::locateName(QByteArrayView mp3Name) const
{
    QByteArray name;
    const Found found = find(mp3Name, name);
    return found.name ? QByteArray(found.name) : name;
}

QByteArray Locator::locate(QByteArrayView mp3Name) const
{
    return PathInInfoFolder(m_folder, locateName(mp3Name));
}

QByteArray LocateInfoFile(const QByteArray &infoFolder, const QByteArray &mp3Name)
{
    const QByteArray exact = InfoFilePath(infoFolder, mp3Name);
    struct stat st;
    if (::stat(exact.constData(), &st) == 0)
        return exact;
    Locator locator(infoFolder);
    locator.index();
    return locator.locate(mp3Name);
}

QChar LyricsMark(const QString &lyricsValue)
{
    if (lyricsValue == QLatin1String("Yes"))
        return u'V';
    if (lyricsValue == QLatin1String("Instrumental"))
        return u'I';
    if (lyricsValue == QLatin1String("(words unclear)"))
        return u'X';
    return u' ';
}

GridValues ReadGridValues(const QByteArray &content)
{
    static const ProfileFile::SectionReader reader(
        InfoSection, { KeyPlaytime, KeyLyrics, KeySongYear, KeyUsageCount });
    thread_local QStringList values;
    reader.read(content, values);
    GridValues grid;
    grid.playTime = StrPadLeft(orDefault(values[0], QStringLiteral("00:00")), u' ', 6);
    grid.lyricsMark = LyricsMark(orDefault(values[1], QStringLiteral("No")));
    grid.songYear = values[2].left(4);
    grid.usageCount = usageCountText(values[3]);
    return grid;
}

GridValues ReadSongInfo(const QByteArray &infoPath)
{
    QByteArray content;
    ReadWholeFile(infoPath, content);
    return ReadGridValues(content);
}

GridValues ReadSongInfoAt(int infoDirFd, const Locator::Found &file, QByteArray &buffer)
{
    if (!file.name) {
        static const GridValues defaults = ReadGridValues(QByteArray());
        return defaults;
    }
    ReadWholeFileAt(infoDirFd, file.name, buffer, file.plainFile);
    return ReadGridValues(buffer);
}

Details LoadInfo(const QByteArray &infoPath)
{
    QByteArray content;
    ReadWholeFile(infoPath, content);
    return ReadDetails(content);
}

Details ReadDetails(const QByteArray &content)
{
    const QStringList keys { QStringLiteral("Writer"), KeyPlaytime, QStringLiteral("AlbumName"), KeySongYear,
        QStringLiteral("AlbumYear"), QStringLiteral("AlbumCDNum"), QStringLiteral("AlbumLabel"),
        KeyUsageCount };
    QStringList v;
    ProfileFile::readSection(content, InfoSection, keys, v);
    for (QString &value : v)
        value = orDefault(value, QStringLiteral(""));
    return Details { v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7] };
}

QStringList ReadLyrics(const QByteArray &content)
{
    const QStringList lines = SplitTextLines(DecodeText(SkipByteOrderMark(content)));
    const qsizetype marker = markerLine(lines);
    // In a file without an Info section ahead of its lyrics, counting a play
    // added the section at the end: the lyrics stop where it starts, so the
    // count's lines never become lyrics (nor does Save keep them as such).
    // A section header after that, "[Chorus]" or another "[Info]", is a
    // lyric line as any other.
    qsizetype end = lines.size();
    const qsizetype section = ProfileFile::sectionLine(content, InfoSection);
    if (section > marker && section < end)
        end = section;
    qsizetype first = marker + 1; // the marker line itself is no lyric
    const QString separator = SeparatorLine();
    while (first < end && (lines[first].isEmpty() || lines[first] == separator))
        ++first;
    return first < end ? lines.mid(first, end - first) : QStringList();
}

QString LyricMarkerLine(const QString &lyricsText)
{
    if (asciiUpper(QStringView(lyricsText).left(11)) == QLatin1String("INSTRUMENTA"))
        return prefixed(KeyLyrics, QStringLiteral("Instrumental"));
    if (asciiUpper(QStringView(lyricsText).left(15)) == QLatin1String("(WORDS UNCLEAR)"))
        return prefixed(KeyLyrics, QStringLiteral("(words unclear)"));
    if (!lyricsText.isEmpty())
        return prefixed(KeyLyrics, QStringLiteral("Yes"));
    return QString();
}

QByteArray ComposeFile(
    const QString &usageCount, const Details &fields, const QString &lyricsText, const QDate &date)
{
    const QString separator = SeparatorLine();
    QStringList lines { separator, QStringLiteral("; Generated ") + date.toString(u"dd-MM-yyyy"),
        QStringLiteral("; Do not modify manually."), separator, QString(), QStringLiteral("[Info]"),
        prefixed(KeyUsageCount, usageCount), prefixed(QStringLiteral("Writer"), fields.Writer),
        prefixed(KeyPlaytime, fields.Playtime), prefixed(QStringLiteral("AlbumName"), fields.AlbumName),
        prefixed(KeySongYear, fields.SongYear), prefixed(QStringLiteral("AlbumYear"), fields.AlbumYear),
        prefixed(QStringLiteral("AlbumCDNum"), fields.AlbumCDNum),
        prefixed(QStringLiteral("AlbumLabel"), fields.AlbumLabel) };
    const QString marker = LyricMarkerLine(lyricsText);
    if (!marker.isEmpty())
        lines.append(marker);
    lines << QString() << separator << QString() << lyricLines(lyricsText);
    // Every line, the last one included, ends in CR LF.
    return EncodeText(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

void WriteSongInfo(const QByteArray &infoPath, const QString &usageCount, const Details &fields,
    const QString &lyricsText, const QDate &date)
{
    WriteFileAtomic(infoPath, ComposeFile(usageCount, fields, lyricsText, date));
}

QByteArray WithInfoKeys(const QByteArray &content, const QList<std::pair<QString, QString>> &keys)
{
    QStringList names;
    for (const auto &key : keys)
        names << key.first;
    QStringList values;
    ProfileFile::readSection(content, InfoSection, names, values);
    // A missing key goes after the key lines right after the Info header;
    // when the lyrics' marker line is one of them, that would make it the
    // first lyric line, so it goes right after the header instead.
    const qsizetype header = ProfileFile::sectionLine(content, InfoSection);
    const qsizetype marker = markerLine(SplitTextLines(DecodeText(SkipByteOrderMark(content))));
    const bool markerAmongKeys
        = header >= 0 && header < marker && marker < ProfileFile::sectionKeysEnd(content, InfoSection);
    QByteArray changed = content;
    for (qsizetype k = 0; k < keys.size(); ++k) {
        const auto &[key, value] = keys[k];
        changed = values[k].isNull() && markerAmongKeys
            ? withLineAfter(changed, header, EncodeText(key + u'=' + value))
            : ProfileFile::writeString(changed, InfoSection, key, value);
    }
    return changed;
}

QByteArray WithLyrics(const QByteArray &content, const QString &lyricsText)
{
    const QString marker = LyricMarkerLine(lyricsText);
    const qsizetype keysEnd = ProfileFile::sectionKeysEnd(content, InfoSection);
    if (marker.isEmpty() || keysEnd < 0)
        return content;
    const QString separator = SeparatorLine();
    const QStringList lines = SplitTextLines(DecodeText(SkipByteOrderMark(content)));
    if (markerLine(lines) < lines.size())
        return content;
    // Below the key lines the dialog's layout has nothing but the lyrics
    // block; any other text there (words without their marker line, another
    // section) is the user's, and nothing is added after it.
    for (qsizetype i = keysEnd; i < lines.size(); ++i) {
        if (!lines[i].isEmpty() && lines[i] != separator)
            return content;
    }
    qsizetype next = 0;
    const qsizetype end = LineEnd(content, 0, next);
    const QByteArray lineBreak = next > end ? content.sliced(end, next - end) : QByteArrayLiteral("\r\n");
    // A last line without its line break gets one first, so the marker
    // after it ends like the file's other lines.
    QByteArray changed = content;
    if (!changed.endsWith('\n') && !changed.endsWith('\r'))
        changed += lineBreak;
    changed = withLineAfter(changed, keysEnd - 1, EncodeText(marker));
    // The dialog's empty line, separator and empty line, unless the file
    // ends with them already (a file it saved without lyrics).
    QStringList added = lyricLines(lyricsText);
    if (lines.size() - keysEnd < 2 || lines.last() != QString() || lines[lines.size() - 2] != separator)
        added = QStringList { QString(), separator, QString() } + added;
    for (const QString &line : std::as_const(added))
        changed += EncodeText(line) + lineBreak;
    return changed;
}

QByteArray CountedPlay(const QByteArray &content, QString &count, const QString &playtime)
{
    QStringList values;
    ProfileFile::readSection(content, InfoSection, { KeyUsageCount, KeyPlaytime }, values);
    count = nextCount(usageCountText(values[0]));
    QList<std::pair<QString, QString>> keys { { KeyUsageCount, count } };
    if (values[1].isEmpty())
        keys.append({ KeyPlaytime, playtime });
    return WithInfoKeys(content, keys);
}

QString CountPlay(const QByteArray &infoPath, const QString &playtime)
{
    QByteArray content;
    if (!ReadFileForUpdate(infoPath, content))
        throw EQLXError(UnableToWriteText(DisplayPath(infoPath)));
    QString count;
    // Both changes go to disk in one replacement: a failure leaves neither.
    WriteFileAtomic(infoPath, CountedPlay(content, count, playtime));
    return count;
}

} // namespace SongInfo
