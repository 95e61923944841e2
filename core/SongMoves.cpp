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

const QByteArray Header = "Discora song index 2";

bool existsAt(int dirFd, const char *name)
{
    struct stat st;
    return ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// The song's information file as the scan finds it, checked to be there
// now: the exact name, else the listing's name in another letter case. Only
// the top of the information folder is listed: a song in a folder of a tree
// library has its path's name alone.
QByteArray existingInfoName(int infoDirFd, const SongInfo::Locator &locator, QByteArrayView song)
{
    const QByteArray exact = SongInfo::InfoNameBelow(song);
    if (existsAt(infoDirFd, exact.constData()))
        return exact;
    if (song.contains('/'))
        return QByteArray();
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

// One entry's line; none for a file that could not be looked at.
void appendLine(QByteArray &out, const Stamp &stamp, QByteArrayView name)
{
    if (stamp.ino == 0)
        return;
    appendNumber(out, stamp.dev);
    out += ' ';
    appendNumber(out, stamp.ino);
    out += ' ';
    appendNumber(out, stamp.size);
    out += ' ';
    appendNumber(out, stamp.modified);
    out += ' ';
    appendNumber(out, stamp.birth);
    out += ' ';
    appendEscaped(out, name);
    out += '\n';
}

struct StampKey {
    quint64 dev, ino;
    bool operator==(const StampKey &o) const { return dev == o.dev && ino == o.ino; }
};
struct StampHash {
    size_t operator()(const StampKey &k) const { return std::hash<quint64>()(k.ino * 1000003u ^ k.dev); }
};

// A path below a folder that stays below it: no component empty, hidden,
// "." or "..", and no NUL (which would cut it short in a system call). What
// the index and the temporary names give is checked so before a file is
// moved by it.
bool isPathBelow(QByteArrayView path)
{
    if (path.isEmpty() || path.contains('\0'))
        return false;
    for (qsizetype at = 0; at <= path.size();) {
        qsizetype end = path.indexOf('/', at);
        if (end < 0)
            end = path.size();
        if (end == at || path[at] == '.')
            return false;
        at = end + 1;
    }
    return true;
}

// Makes the folders of path (below the folder open as dirFd) that are not
// there yet, as writing a song information file there would.
void makeFolders(int dirFd, QByteArrayView path)
{
    for (qsizetype slash = path.indexOf('/'); slash > 0; slash = path.indexOf('/', slash + 1))
        ::mkdirat(dirFd, path.first(slash).toByteArray().constData(), 0777);
}

Move moveInfo(int infoDirFd, const QByteArray &fromSong, const QByteArray &toSong, const QByteArray &fromInfo,
    const QByteArray &toInfo)
{
    Move move { fromSong, toSong, fromInfo, toInfo, Outcome::Moved, 0 };
    if (toInfo.contains('/'))
        makeFolders(infoDirFd, toInfo);
    const int error = RenameNoReplace(infoDirFd, fromInfo.constData(), toInfo.constData());
    if (error == EEXIST)
        move.outcome = Outcome::Kept;
    else if (error != 0) {
        move.outcome = Outcome::Failed;
        move.error = error;
    }
    return move;
}

// The name under which an information file on its way to the name to waits
// at the top of the information folder. A name below the top is written
// with its folders, "/" as "%2F" (and "%" as "%25"), after a "." that no
// name at the top has: a song's name never starts with one.
QByteArray temporaryName(const QByteArray &to)
{
    if (!to.contains('/'))
        return SongInfo::MoveTemporaryPrefix + to;
    QByteArray name = SongInfo::MoveTemporaryPrefix + '.';
    for (const char c : to)
        name += c == '/' ? QByteArrayView("%2F") : c == '%' ? QByteArrayView("%25") : QByteArrayView(&c, 1);
    return name;
}

// The name a temporary name was on its way to; empty when it names no file
// below the information folder.
QByteArray temporaryTarget(const QByteArray &temporary)
{
    const QByteArrayView rest = QByteArrayView(temporary).sliced(SongInfo::MoveTemporaryPrefix.size());
    if (!rest.startsWith('.'))
        return rest.contains('/') ? QByteArray() : rest.toByteArray();
    const QByteArray to = QByteArray::fromPercentEncoding(rest.sliced(1).toByteArray());
    return isPathBelow(to) ? to : QByteArray();
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
    if (ownedByName && fromInfo != SongInfo::InfoNameBelow(fromSong) && ownedByName(fromInfo))
        return std::nullopt;
    const QByteArray toInfo = SongInfo::InfoNameBelow(toSong);
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
    QByteArray bytes;
    if (path.isEmpty() || !ReadWholeFile(path, bytes))
        return Index();
    return Parse(bytes, musicFolder);
}

bool Index::Holds(const QByteArray &path, const QByteArray &musicFolder, const TFileList &files,
    const std::vector<Stamp> &stamps)
{
    if (stamps.size() < size_t(files.count()))
        return false;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // Read a piece at a time, each compared with the lines it should hold.
    QByteArray expected = Header + "\nfolder " + escaped(musicFolder) + '\n';
    QByteArray piece(64 * 1024, Qt::Uninitialized);
    int i = 0;
    while (same) {
        while (expected.size() < piece.size() && i < files.count()) {
            appendLine(expected, stamps[size_t(i)], files.rawName(i));
            ++i;
        }
        const ssize_t n = ::read(fd, piece.data(), size_t(std::min(piece.size(), expected.size() + 1)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            same = n == 0 && expected.isEmpty() && i == files.count();
            break;
        }
        same = n <= expected.size() && QByteArrayView(expected).first(n) == QByteArrayView(piece).first(n);
        expected.remove(0, n);
    }
    ::close(fd);
    return same;
}

Index Index::Parse(const QByteArray &bytes, const QByteArray &musicFolder)
{
    Index index;
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
            || !takeNumber(line, i, entry.stamp.size) || !takeNumber(line, i, entry.stamp.modified)
            || !takeNumber(line, i, entry.stamp.birth))
            continue;
        entry.name = unescaped(line.sliced(i));
        // A tree library's songs have their path below the music folder.
        if (entry.stamp.ino != 0 && isPathBelow(entry.name))
            index.m_entries.push_back(std::move(entry));
    }
    return index;
}

QByteArray Index::Compose(const QByteArray &musicFolder, const std::vector<Entry> &entries)
{
    QByteArray bytes = Header + "\nfolder " + escaped(musicFolder) + '\n';
    qsizetype size = bytes.size();
    for (const Entry &e : entries)
        size += e.name.size() + 88;
    bytes.reserve(size);
    for (const Entry &e : entries)
        appendLine(bytes, e.stamp, e.name);
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

bool SameFile(const Stamp &a, const Stamp &b)
{
    return a.ino != 0 && a.dev == b.dev && a.ino == b.ino && a.size == b.size && a.modified == b.modified
        && (a.birth == 0 || b.birth == 0 || a.birth == b.birth);
}

std::vector<Move> FollowFromIndex(const Index &last, const TFileList &files, const std::vector<Stamp> &stamps,
    int musicDirFd, int infoDirFd, SongInfo::Locator &locator, std::vector<Entry> &carry,
    const std::function<bool(const Entry &was)> &consider)
{
    std::vector<Move> moves;
    const std::vector<Entry> &old = last.entries();
    const int count = std::min(files.count(), int(stamps.size()));
    if (old.empty() || musicDirFd < 0 || infoDirFd < 0)
        return moves;
    // As most scans find them: every song under its name of last time.
    if (old.size() == size_t(count)) {
        int i = 0;
        while (i < count && files.rawName(i) == QByteArrayView(old[size_t(i)].name)
            && SameFile(stamps[size_t(i)], old[size_t(i)].stamp))
            ++i;
        if (i == count)
            return moves;
    }
    // Which file each old name and each listed name was; -1 where two names
    // share one file (hard links): which of them is the song's?
    std::unordered_map<StampKey, int, StampHash> oldByFile;
    std::unordered_map<StampKey, std::vector<int>, StampHash> oldShared;
    for (size_t e = 0; e < old.size(); ++e) {
        const StampKey key { old[e].stamp.dev, old[e].stamp.ino };
        const auto [it, added] = oldByFile.try_emplace(key, int(e));
        if (added)
            continue;
        std::vector<int> &names = oldShared[key];
        if (it->second >= 0)
            names.push_back(it->second);
        names.push_back(int(e));
        it->second = -1;
    }
    std::unordered_map<StampKey, int, StampHash> listedByFile;
    for (int i = 0; i < count; ++i) {
        const Stamp &s = stamps[size_t(i)];
        if (s.ino == 0)
            continue;
        const auto [it, added] = listedByFile.try_emplace(StampKey { s.dev, s.ino }, i);
        if (!added)
            it->second = -1;
    }
    // The listed songs that are an old song under another name.
    struct Candidate {
        int song;
        const Entry *was;
        bool listedBefore; // under its name now too: only while it has no file of its own
        QByteArray fromInfo;
        QByteArray toInfo;
        QByteArray occupant; // the information file the new name has now
        bool accepted = true;
    };
    std::vector<Candidate> candidates;
    std::unordered_set<QByteArray> movedSongs; // their new names
    for (const auto &[key, i] : listedByFile) {
        if (i < 0)
            continue;
        const auto it = oldByFile.find(key);
        if (it == oldByFile.end())
            continue;
        const QByteArrayView name = files.rawName(i);
        // A file listed under two names last time is a move that failed and
        // waits (its new name and its old) or two names of one song.
        const Entry *was = it->second >= 0 ? &old[size_t(it->second)] : nullptr;
        bool listedBefore = false;
        if (!was) {
            int others = 0;
            for (const int e : oldShared[key]) {
                if (old[size_t(e)].name == name)
                    listedBefore = true;
                else if (++others == 1)
                    was = &old[size_t(e)];
            }
            if (others != 1 || !listedBefore)
                continue;
        }
        if (was->name == name || !SameFile(stamps[size_t(i)], was->stamp) || (consider && !consider(*was)))
            continue;
        candidates.push_back({ i, was, listedBefore, {}, {}, {} });
        movedSongs.insert(name.toByteArray());
    }
    if (candidates.empty())
        return moves;
    std::sort(candidates.begin(), candidates.end(),
        [](const Candidate &a, const Candidate &b) { return a.song < b.song; });
    locator.index();
    // The old name must be gone, or hold a song that moved there itself; and
    // its information file must be there.
    std::unordered_map<QByteArray, int> sources; // information file -> how many moves take it
    for (Candidate &c : candidates) {
        const QByteArray &oldName = c.was->name;
        if (files.containsName(oldName) ? !movedSongs.count(oldName)
                                        : existsAt(musicDirFd, oldName.constData()))
            c.accepted = false;
        else
            c.fromInfo = existingInfoName(infoDirFd, locator, oldName);
        c.accepted = c.accepted && !c.fromInfo.isEmpty();
        if (c.accepted)
            ++sources[c.fromInfo];
    }
    // A file that a song staying where it was shows (found in another letter
    // case, say) is that song's; so is one two moves would take.
    QByteArray scratch;
    std::unordered_set<QByteArray> claimed;
    for (int i = 0; i < count; ++i) {
        // (A song below the top shows its own path's file alone.)
        if (files.rawName(i).contains('/') || movedSongs.count(files.rawName(i).toByteArray()))
            continue;
        if (const SongInfo::Locator::Found own = locator.find(files.rawName(i), scratch); own.name)
            claimed.insert(QByteArray(own.name));
    }
    std::unordered_set<QByteArray> leaving;
    for (Candidate &c : candidates) {
        c.accepted = c.accepted && !claimed.count(c.fromInfo) && sources[c.fromInfo] == 1;
        if (!c.accepted)
            continue;
        const QByteArray name = files.rawName(c.song).toByteArray();
        c.toInfo = SongInfo::InfoNameBelow(name);
        // Followed already, while the program ran.
        c.accepted = c.fromInfo != c.toInfo;
        if (!c.accepted)
            continue;
        c.occupant = existingInfoName(infoDirFd, locator, name);
        if (c.occupant == c.fromInfo)
            c.occupant.clear(); // the same file, its name's letter case changing
        c.accepted = !c.listedBefore || c.occupant.isEmpty();
        if (c.accepted)
            leaving.insert(c.fromInfo);
    }
    // A new name whose information file stays keeps it; that move not made,
    // its own file stays too, which may keep another's: until none changes.
    for (bool changed = true; changed;) {
        changed = false;
        for (Candidate &c : candidates) {
            if (!c.accepted || c.occupant.isEmpty() || leaving.count(c.occupant))
                continue;
            c.accepted = false;
            leaving.erase(c.fromInfo);
            changed = true;
            moves.push_back({ c.was->name, files.rawName(c.song).toByteArray(), c.fromInfo, c.occupant,
                Outcome::Kept, 0 });
        }
    }
    // Files that make room for another first step aside, under a name that
    // says where each is going; then every file goes to its new name.
    std::unordered_map<QByteArray, QByteArray> aside; // information file -> its temporary name
    for (const Candidate &c : candidates) {
        if (!c.accepted || c.occupant.isEmpty())
            continue;
        const Candidate *making = nullptr;
        for (const Candidate &d : candidates)
            if (d.accepted && d.fromInfo == c.occupant)
                making = &d;
        const QByteArray temporary = temporaryName(making->toInfo);
        if (RenameNoReplace(infoDirFd, c.occupant.constData(), temporary.constData()) == 0)
            aside.emplace(c.occupant, temporary);
    }
    for (const Candidate &c : candidates) {
        if (!c.accepted)
            continue;
        const auto stepped = aside.find(c.fromInfo);
        const QByteArray &from = stepped == aside.end() ? c.fromInfo : stepped->second;
        Move move = moveInfo(infoDirFd, c.was->name, files.rawName(c.song).toByteArray(), from, c.toInfo);
        move.fromInfo = c.fromInfo;
        if (move.outcome != Outcome::Moved && stepped != aside.end())
            RenameNoReplace(infoDirFd, from.constData(), c.fromInfo.constData());
        if (move.outcome == Outcome::Failed)
            carry.push_back(*c.was);
        moves.push_back(std::move(move));
    }
    return moves;
}

std::vector<Move> FinishInterruptedMoves(int infoDirFd, const std::vector<QByteArray> &leftovers)
{
    std::vector<Move> moves;
    for (const QByteArray &temporary : leftovers) {
        const QByteArray to = temporaryTarget(temporary);
        if (to.isEmpty())
            continue;
        // One that cannot go yet stays set aside, and is tried again at
        // the next full scan.
        Move move = moveInfo(infoDirFd, QByteArray(), QByteArray(), temporary, to);
        if (move.outcome == Outcome::Moved)
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
