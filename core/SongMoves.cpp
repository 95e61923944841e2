#include "SongMoves.h"

#include "FIL_Func.h"
#include "FileList.h"
#include "FileWrite.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace SongMoves
{

namespace
{

const QByteArray Header = "Discora song index 1";

bool existsAt(int dirFd, const char *name)
{
    struct stat st;
    return ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// The song's information file as the scan finds it, checked to be there
// now: the exact name, else the listing's name in another letter case.
QByteArray existingInfoName(int infoDirFd, const SongInfo::Locator &locator, QByteArrayView song)
{
    const QByteArray exact = SongInfo::InfoFileName(song.toByteArray());
    if (existsAt(infoDirFd, exact.constData()))
        return exact;
    QByteArray scratch;
    const SongInfo::Locator::Found found = locator.find(song, scratch);
    if (found.name && existsAt(infoDirFd, found.name))
        return QByteArray(found.name);
    return QByteArray();
}

// In an index line a name may hold any byte but the ones that end it.
void appendEscaped(QByteArray &out, QByteArrayView name)
{
    static const char Hex[] = "0123456789ABCDEF";
    const auto special = [](char c) { return c == '%' || c == '\n' || c == '\r'; };
    if (std::none_of(name.begin(), name.end(), special)) {
        out.append(name);
        return;
    }
    for (const char c : name) {
        if (c == '%' || c == '\n' || c == '\r') {
            out += '%';
            out += Hex[uchar(c) >> 4];
            out += Hex[uchar(c) & 15];
        } else {
            out += c;
        }
    }
}

QByteArray escaped(const QByteArray &name)
{
    QByteArray out;
    appendEscaped(out, name);
    return out;
}

QByteArray unescaped(QByteArrayView text)
{
    if (!text.contains('%'))
        return text.toByteArray();
    return QByteArray::fromPercentEncoding(text.toByteArray());
}

// The number at text[at...] up to the next blank, after which at stands.
template <typename Number> bool takeNumber(QByteArrayView text, qsizetype &at, Number &value)
{
    const char *begin = text.data() + at;
    const char *end = text.data() + text.size();
    const auto [next, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || next == end || *next != ' ')
        return false;
    at = next - text.data() + 1;
    return true;
}

template <typename Number> void appendNumber(QByteArray &out, Number value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr - digits);
}

struct StampKey {
    quint64 dev, ino;
    bool operator==(const StampKey &o) const { return dev == o.dev && ino == o.ino; }
};
struct StampHash {
    size_t operator()(const StampKey &k) const { return std::hash<quint64>()(k.ino * 1000003u ^ k.dev); }
};

Move moveInfo(int infoDirFd, const QByteArray &fromSong, const QByteArray &toSong, const QByteArray &fromInfo,
    const QByteArray &toInfo)
{
    Move move { fromSong, toSong, fromInfo, toInfo, Outcome::Moved, 0 };
    const int error = RenameNoReplace(infoDirFd, fromInfo.constData(), toInfo.constData());
    if (error == EEXIST)
        move.outcome = Outcome::Kept;
    else if (error != 0) {
        move.outcome = Outcome::Failed;
        move.error = error;
    }
    return move;
}

QString text(const QByteArray &name)
{
    return QString::fromUtf8(name);
}

QString songs(int n)
{
    return n == 1 ? QStringLiteral("1 song") : QStringLiteral("%1 songs").arg(n);
}

} // namespace

int RenameNoReplace(int dirFd, const char *from, const char *to)
{
    if (::renameat2(dirFd, from, dirFd, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: a second name can only be made where
    // none is, and the old one goes only once the new one stands.
    if (::linkat(dirFd, from, dirFd, to, 0) != 0)
        return errno;
    if (::unlinkat(dirFd, from, 0) != 0) {
        const int error = errno;
        ::unlinkat(dirFd, to, 0);
        return error;
    }
    return 0;
}

std::optional<Move> Follow(int infoDirFd, const SongInfo::Locator &locator, QByteArrayView fromSong,
    QByteArrayView toSong, const std::function<bool(const QByteArray &info)> &ownedByName)
{
    const QByteArray fromInfo = existingInfoName(infoDirFd, locator, fromSong);
    if (fromInfo.isEmpty())
        return std::nullopt;
    if (ownedByName && fromInfo != SongInfo::InfoFileName(fromSong.toByteArray()) && ownedByName(fromInfo))
        return std::nullopt;
    const QByteArray toInfo = SongInfo::InfoFileName(toSong.toByteArray());
    if (fromInfo == toInfo)
        return std::nullopt;
    // The new name may have a file of its own in another letter case, which
    // the scan would show: that one stays the song's, and so does the old.
    const QByteArray own = existingInfoName(infoDirFd, locator, toSong);
    if (!own.isEmpty() && own != fromInfo)
        return Move { fromSong.toByteArray(), toSong.toByteArray(), fromInfo, own, Outcome::Kept, 0 };
    return moveInfo(infoDirFd, fromSong.toByteArray(), toSong.toByteArray(), fromInfo, toInfo);
}

Index Index::Read(const QByteArray &path, const QByteArray &musicFolder)
{
    Index index;
    QByteArray bytes;
    if (path.isEmpty() || !ReadWholeFile(path, bytes))
        return index;
    const QByteArray head = Header + "\nfolder " + escaped(musicFolder) + '\n';
    if (!bytes.startsWith(head))
        return index;
    index.m_bytes = bytes;
    const QByteArrayView text(bytes);
    qsizetype at = head.size();
    while (at < text.size()) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = text.sliced(at, end - at);
        at = end + 1;
        Entry entry;
        qsizetype i = 0;
        if (!takeNumber(line, i, entry.stamp.dev) || !takeNumber(line, i, entry.stamp.ino)
            || !takeNumber(line, i, entry.stamp.size))
            continue;
        entry.name = unescaped(line.sliced(i));
        if (entry.stamp.ino != 0 && !entry.name.isEmpty() && !entry.name.contains('/'))
            index.m_entries.push_back(std::move(entry));
    }
    return index;
}

QByteArray Index::Compose(const QByteArray &musicFolder, const std::vector<Entry> &entries)
{
    QByteArray bytes = Header + "\nfolder " + escaped(musicFolder) + '\n';
    qsizetype size = bytes.size();
    for (const Entry &e : entries)
        size += e.name.size() + 48;
    bytes.reserve(size);
    for (const Entry &e : entries) {
        if (e.stamp.ino == 0)
            continue;
        appendNumber(bytes, e.stamp.dev);
        bytes += ' ';
        appendNumber(bytes, e.stamp.ino);
        bytes += ' ';
        appendNumber(bytes, e.stamp.size);
        bytes += ' ';
        appendEscaped(bytes, e.name);
        bytes += '\n';
    }
    return bytes;
}

bool Index::Write(const QByteArray &path, const QByteArray &musicFolder, const std::vector<Entry> &entries,
    const QByteArray &unchanged)
{
    const QByteArray bytes = Compose(musicFolder, entries);
    // Most scans find the folder as the last one did: nothing to write.
    if (bytes == unchanged)
        return false;
    WriteFileAtomic(path, bytes);
    return true;
}

std::vector<Move> FollowFromIndex(const Index &last, const TFileList &files, int musicDirFd, int infoDirFd,
    const SongInfo::Locator &locator, std::vector<Entry> &carry)
{
    std::vector<Move> moves;
    if (last.entries().empty() || musicDirFd < 0 || infoDirFd < 0)
        return moves;
    // The songs of last time under the same names, as most scans find them:
    // no song lost its name.
    if (last.entries().size() == size_t(files.count())) {
        int i = 0;
        while (i < files.count() && files.rawName(i) == QByteArrayView(last.entries()[size_t(i)].name))
            ++i;
        if (i == files.count())
            return moves;
    }
    // Songs gone from their old name whose information file is still there.
    struct Candidate {
        const Entry *entry;
        QByteArray info;
        bool ambiguous;
        bool taken;
    };
    std::unordered_map<StampKey, Candidate, StampHash> gone;
    for (const Entry &e : last.entries()) {
        if (files.containsName(e.name) || existsAt(musicDirFd, e.name.constData()))
            continue;
        QByteArray info = existingInfoName(infoDirFd, locator, e.name);
        if (info.isEmpty())
            continue;
        const auto [it, added]
            = gone.try_emplace(StampKey { e.stamp.dev, e.stamp.ino }, Candidate { &e, info, false, false });
        if (!added)
            it->second.ambiguous = true; // two old names of one file: which one's is it?
    }
    if (gone.empty())
        return moves;
    // A file a listed song shows (found in another letter case, say) is that
    // song's, whichever old name it was found for.
    QByteArray scratch;
    std::unordered_set<QByteArray> claimed;
    for (int i = 0; i < files.count(); ++i) {
        if (const SongInfo::Locator::Found own = locator.find(files.rawName(i), scratch); own.name)
            claimed.insert(QByteArray(own.name));
    }
    for (auto it = gone.begin(); it != gone.end();)
        it = claimed.count(it->second.info) ? gone.erase(it) : std::next(it);
    for (int i = 0; i < files.count(); ++i) {
        const QByteArrayView name = files.rawName(i);
        struct stat st;
        if (::fstatat(musicDirFd, name.data(), &st, 0) != 0)
            continue;
        const auto it = gone.find(StampKey { quint64(st.st_dev), quint64(st.st_ino) });
        if (it == gone.end())
            continue;
        Candidate &c = it->second;
        if (c.ambiguous || c.taken || c.entry->stamp.size != qint64(st.st_size))
            continue;
        c.taken = true;
        const QByteArray song = name.toByteArray();
        // Renamed onto a name with song information of its own: that stays
        // the song's, and the old file stays where it is.
        if (const SongInfo::Locator::Found own = locator.find(name, scratch); own.name) {
            moves.push_back({ c.entry->name, song, c.info, QByteArray(own.name), Outcome::Kept, 0 });
            continue;
        }
        Move move = moveInfo(infoDirFd, c.entry->name, song, c.info, SongInfo::InfoFileName(song));
        if (move.outcome == Outcome::Failed)
            carry.push_back(*c.entry);
        moves.push_back(std::move(move));
    }
    return moves;
}

QString StatusText(const std::vector<Move> &moves)
{
    int moved = 0;
    int notMoved = 0;
    for (const Move &m : moves)
        (m.outcome == Outcome::Moved ? moved : notMoved) += 1;
    if (moved > 0 && notMoved == 0)
        return QStringLiteral("Song information moved for %1.").arg(songs(moved));
    if (moved > 0)
        return QStringLiteral("Song information moved for %1, not moved for %2 (double-click for the log).")
            .arg(songs(moved), songs(notMoved));
    if (notMoved > 0)
        return QStringLiteral("Song information not moved for %1 (double-click for the log).")
            .arg(songs(notMoved));
    return QString();
}

QStringList LogLines(const std::vector<Move> &moves)
{
    QStringList lines;
    for (const Move &m : moves) {
        const QString fromTo = text(m.fromInfo) + QStringLiteral(" -> ") + text(m.toInfo);
        switch (m.outcome) {
        case Outcome::Moved:
            lines.append(fromTo);
            break;
        case Outcome::Kept:
            lines.append(QStringLiteral("Kept both: ") + text(m.fromInfo) + QStringLiteral(" stays, ")
                + text(m.toInfo) + QStringLiteral(" is the information of ") + text(m.toSong)
                + QStringLiteral(" already"));
            break;
        case Outcome::Failed:
            lines.append(QStringLiteral("Not moved: ") + fromTo + QStringLiteral(" (")
                + QString::fromLocal8Bit(std::strerror(m.error)) + u')');
            break;
        }
    }
    return lines;
}

QString ErrorText(const Move &move, const QByteArray &infoFolder)
{
    const QByteArray folder
        = infoFolder.isEmpty() || infoFolder.endsWith('/') ? infoFolder : infoFolder + '/';
    return QStringLiteral("Unable to move %1 to %2: %3")
        .arg(DisplayPath(folder + move.fromInfo), DisplayPath(move.toInfo),
            QString::fromLocal8Bit(std::strerror(move.error)));
}

} // namespace SongMoves
