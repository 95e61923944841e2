#include "SongMoves.h"

#include "FIL_Func.h"
#include "FileList.h"
#include "FileWrite.h"

#include <QFile>

#include <cerrno>
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
QByteArray escaped(const QByteArray &name)
{
    QByteArray out;
    out.reserve(name.size());
    for (const char c : name) {
        if (c == '%' || c == '\n' || c == '\r')
            out += '%' + QByteArray::number(uchar(c), 16).rightJustified(2, '0').toUpper();
        else
            out += c;
    }
    return out;
}

QByteArray unescaped(QByteArrayView text)
{
    return QByteArray::fromPercentEncoding(text.toByteArray());
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

std::optional<Move> Follow(
    int infoDirFd, const SongInfo::Locator &locator, QByteArrayView fromSong, QByteArrayView toSong)
{
    const QByteArray fromInfo = existingInfoName(infoDirFd, locator, fromSong);
    if (fromInfo.isEmpty())
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
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.size() < 2 || lines[0] != Header || lines[1] != "folder " + escaped(musicFolder))
        return index;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 4)
            continue;
        bool ok[3];
        Entry entry;
        entry.stamp.dev = fields[0].toULongLong(&ok[0]);
        entry.stamp.ino = fields[1].toULongLong(&ok[1]);
        entry.stamp.size = fields[2].toLongLong(&ok[2]);
        const qsizetype nameStart = fields[0].size() + fields[1].size() + fields[2].size() + 3;
        entry.name = unescaped(QByteArrayView(line).sliced(nameStart));
        if (ok[0] && ok[1] && ok[2] && entry.stamp.ino != 0 && !entry.name.isEmpty()
            && !entry.name.contains('/'))
            index.m_entries.push_back(std::move(entry));
    }
    return index;
}

QByteArray Index::Compose(const QByteArray &musicFolder, const std::vector<Entry> &entries)
{
    QByteArray bytes = Header + "\nfolder " + escaped(musicFolder) + '\n';
    bytes.reserve(bytes.size() + qsizetype(entries.size()) * 64);
    for (const Entry &e : entries) {
        if (e.stamp.ino == 0)
            continue;
        bytes += QByteArray::number(e.stamp.dev) + ' ' + QByteArray::number(e.stamp.ino) + ' '
            + QByteArray::number(e.stamp.size) + ' ' + escaped(e.name) + '\n';
    }
    return bytes;
}

void Index::Write(const QByteArray &path, const QByteArray &musicFolder, const std::vector<Entry> &entries)
{
    WriteFileAtomic(path, Compose(musicFolder, entries));
}

std::vector<Move> FollowFromIndex(const Index &last, const TFileList &files, int musicDirFd, int infoDirFd,
    const SongInfo::Locator &locator, std::vector<Entry> &carry)
{
    std::vector<Move> moves;
    if (last.entries().empty() || musicDirFd < 0 || infoDirFd < 0)
        return moves;
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
