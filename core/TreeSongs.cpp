#include "TreeSongs.h"

#include "CellText.h"
#include "SongTags.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

// From this many songs on, they are looked at on several threads.
constexpr int ThreadedLooks = 256;

// What the file's name says (tags, when given, take precedence).
TTreeSong treeSong(QByteArrayView rawName, const SongTags &tags = SongTags())
{
    TTreeSong song;
    const QString fileName = QString::fromUtf8(rawName.sliced(rawName.lastIndexOf('/') + 1));
    // Without the blanks around the dash of "Artist - Title.mp3": the artist
    // then groups with the same artist's tagged songs.
    song.artist = tags.artist.isEmpty() ? CellText::ArtistPart(fileName).trimmed() : tags.artist;
    song.title = tags.title.isEmpty() ? CellText::TitlePart(fileName).trimmed() : tags.title;
    if (song.title.isEmpty()) {
        const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
        song.title = dot > 0 ? fileName.left(dot) : fileName;
    }
    song.album = tags.album;
    song.year = tags.year;
    song.albumYear = tags.albumYear();
    song.disc = tags.disc;
    song.track = tags.track;
    song.lengthMs = tags.lengthMs;
    return song;
}

// Threads for work that waits on the disk more than on the processor: more
// than cores keep a cold disk busy.
int diskThreads()
{
    return std::clamp(int(std::thread::hardware_concurrency()) * 2, 2, 8);
}

// Calls work(k) for each k below count on up to threads threads (this one
// among them), each taking the next k when done with one, until stop is
// set.
template <typename Work> void onThreads(size_t count, int threads, const std::atomic<bool> &stop, Work work)
{
    std::atomic<size_t> next { 0 };
    const auto run = [&] {
        for (size_t k = next++; k < count && !stop.load(); k = next++)
            work(k);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::min<int>(threads, int(count)); ++t)
        pool.emplace_back(run);
    run();
    for (std::thread &thread : pool)
        thread.join();
}

} // namespace

void ReadTags(const QByteArray &folder, const std::vector<QByteArray> &names, const std::vector<int> &which,
    std::vector<TagCache::Entry> &songs, std::atomic<int> &done, const std::atomic<bool> &stop)
{
    // Each song by its path below the open folder: the system walks only
    // that part of its path.
    const int folderFd
        = ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    onThreads(which.size(), diskThreads(), stop, [&](size_t k) {
        const QByteArray &name = names[size_t(which[k])];
        TagCache::Entry &song = songs[size_t(which[k])];
        // The listing's look at the song gave its size.
        song.song
            = treeSong(name, folderFd >= 0 ? ReadSongTagsAt(folderFd, name, song.key.size) : SongTags());
        ++done;
    });
    if (folderFd >= 0)
        ::close(folderFd);
}

std::vector<TagCache::Entry> ReadTreeSongs(const QByteArray &folder, const TFileList &files,
    const TagCache::Entries &cached, int &opened, int readNow, std::vector<int> *unread,
    std::vector<FileStat> *looked)
{
    const int count = files.count();
    std::vector<TagCache::Entry> songs(static_cast<size_t>(count));
    std::vector<int> misses;
    const QByteArray root = folder.isEmpty() ? QByteArray(".") : folder;
    const int dirFd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (looked)
        looked->assign(size_t(count), FileStat());
    // A look at every song, on several threads: a large library waits for
    // these system calls more than for anything else its cached start does.
    std::vector<char> hits(static_cast<size_t>(count), 0);
    const std::atomic<bool> stop { false };
    onThreads(size_t(count), count >= ThreadedLooks ? diskThreads() : 1, stop, [&](size_t i) {
        const QByteArrayView name = files.rawName(int(i));
        TagCache::Entry &entry = songs[i];
        const FileStat file = dirFd >= 0 ? StatAt(dirFd, name.data()) : FileStat();
        if (file.seen)
            entry.key = { file.device, file.inode, file.size, file.modifiedNs };
        if (looked)
            (*looked)[i] = file;
        const auto hit = cached.constFind(QByteArray::fromRawData(name.data(), name.size()));
        if (hit != cached.constEnd() && entry.key.size >= 0 && hit->key == entry.key) {
            entry.song = hit->song;
            hits[i] = 1;
        }
    });
    if (dirFd >= 0)
        ::close(dirFd);
    for (int i = 0; i < count; ++i)
        if (!hits[size_t(i)])
            misses.push_back(i);
    opened = 0;
    if (readNow >= 0 && int(misses.size()) > readNow) {
        // Too many to read now: the names stand in until they are read.
        for (const int i : misses)
            songs[size_t(i)].song = treeSong(files.rawName(i));
        if (unread)
            *unread = std::move(misses);
        return songs;
    }
    std::vector<QByteArray> names(static_cast<size_t>(count));
    for (const int i : misses)
        names[size_t(i)] = files.rawName(i).toByteArray();
    std::atomic<int> done { 0 };
    ReadTags(folder, names, misses, songs, done, stop);
    opened = done.load();
    return songs;
}

namespace
{

// Each entry's place among the distinct texts text(entry) gives, in order
// ignoring letter case (texts equal but for it share a place): a large
// library holds a few thousand artists and albums, and its rows are then
// sorted by numbers, not by comparing the same texts over and over.
template <typename Text> std::vector<int> ranks(const std::vector<TagCache::Entry> &entries, Text text)
{
    QHash<QString, int> seen;
    std::vector<const QString *> distinct;
    std::vector<int> of(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const QString &t = text(entries[i].song);
        const auto found = seen.constFind(t);
        if (found != seen.constEnd()) {
            of[i] = *found;
        } else {
            of[i] = int(distinct.size());
            seen.insert(t, of[i]);
            distinct.push_back(&t);
        }
    }
    std::vector<int> byText(distinct.size());
    std::iota(byText.begin(), byText.end(), 0);
    std::sort(byText.begin(), byText.end(), [&](int a, int b) {
        return distinct[size_t(a)]->compare(*distinct[size_t(b)], Qt::CaseInsensitive) < 0;
    });
    std::vector<int> rank(distinct.size());
    for (size_t k = 0; k < byText.size(); ++k) {
        const bool same = k > 0
            && distinct[size_t(byText[k])]->compare(*distinct[size_t(byText[k - 1])], Qt::CaseInsensitive)
                == 0;
        rank[size_t(byText[k])] = k == 0 ? 0 : rank[size_t(byText[k - 1])] + (same ? 0 : 1);
    }
    for (int &r : of)
        r = rank[size_t(r)];
    return of;
}

} // namespace

std::vector<int> TreeOrder(const std::vector<TagCache::Entry> &entries)
{
    const std::vector<int> artist
        = ranks(entries, [](const TTreeSong &s) -> const QString & { return s.artist; });
    const std::vector<int> album
        = ranks(entries, [](const TTreeSong &s) -> const QString & { return s.album; });
    std::vector<int> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const TTreeSong &x = entries[size_t(a)].song;
        const TTreeSong &y = entries[size_t(b)].song;
        if (artist[size_t(a)] != artist[size_t(b)])
            return artist[size_t(a)] < artist[size_t(b)];
        if (x.albumYear != y.albumYear)
            return x.albumYear < y.albumYear;
        if (album[size_t(a)] != album[size_t(b)])
            return album[size_t(a)] < album[size_t(b)];
        if (x.disc != y.disc)
            return x.disc < y.disc;
        if (x.track != y.track)
            return x.track < y.track;
        return x.title.compare(y.title, Qt::CaseInsensitive) < 0;
    });
    return order;
}

QString LengthText(int lengthMs)
{
    if (lengthMs <= 0)
        return QString();
    // Made for every song of a tree at every full scan: no format string.
    const int seconds = (lengthMs + 500) / 1000;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
    return QString::fromLatin1(text, length);
}
