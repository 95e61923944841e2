#include "TreeSongs.h"

#include "CellText.h"
#include "SongTags.h"

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace
{

TTreeSong treeSong(const QByteArray &path, QByteArrayView rawName)
{
    const SongTags tags = ReadSongTags(path);
    TTreeSong song;
    const QString fileName = QString::fromUtf8(rawName.sliced(rawName.lastIndexOf('/') + 1));
    song.artist = tags.artist.isEmpty() ? CellText::ArtistPart(fileName) : tags.artist;
    song.title = tags.title.isEmpty() ? CellText::TitlePart(fileName) : tags.title;
    if (song.title.isEmpty()) {
        const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
        song.title = dot > 0 ? fileName.left(dot) : fileName;
    }
    song.album = tags.album;
    song.year = tags.year;
    song.albumYear = tags.originalYear > 0 ? tags.originalYear : tags.year;
    song.disc = tags.disc;
    song.track = tags.track;
    song.lengthMs = tags.lengthMs;
    return song;
}

} // namespace

std::vector<TagCache::Entry> ReadTreeSongs(
    const QByteArray &folder, const TFileList &files, const TagCache::Entries &cached, int &opened)
{
    const int count = files.count();
    std::vector<TagCache::Entry> songs(static_cast<size_t>(count));
    // Reading tags waits on the disk more than on the processor: more
    // threads than cores keep a cold disk busy.
    const int threads = std::clamp(int(std::thread::hardware_concurrency()) * 2, 2, 8);
    std::atomic<int> next { 0 };
    std::atomic<int> reads { 0 };
    const QByteArray root = folder.isEmpty() ? QByteArray(".") : folder;
    const int dirFd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const auto work = [&] {
        QByteArray path;
        for (int i = next++; i < count; i = next++) {
            const QByteArrayView name = files.rawName(i);
            TagCache::Entry &entry = songs[size_t(i)];
            struct stat st;
            if (dirFd >= 0 && ::fstatat(dirFd, name.data(), &st, 0) == 0)
                entry.key = { quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
                    qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec };
            const auto hit = cached.constFind(name.toByteArray());
            if (hit != cached.constEnd() && entry.key.size >= 0 && hit->key == entry.key) {
                entry.song = hit->song;
                continue;
            }
            path = root + '/';
            path.append(name);
            entry.song = treeSong(path, name);
            ++reads;
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::min(threads, count); ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &thread : pool)
        thread.join();
    if (dirFd >= 0)
        ::close(dirFd);
    opened = reads.load();
    return songs;
}

std::vector<int> TreeOrder(const std::vector<TagCache::Entry> &entries)
{
    std::vector<int> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&entries](int a, int b) {
        const TTreeSong &x = entries[size_t(a)].song;
        const TTreeSong &y = entries[size_t(b)].song;
        if (const int c = x.artist.compare(y.artist, Qt::CaseInsensitive))
            return c < 0;
        if (x.albumYear != y.albumYear)
            return x.albumYear < y.albumYear;
        if (const int c = x.album.compare(y.album, Qt::CaseInsensitive))
            return c < 0;
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
    const int seconds = (lengthMs + 500) / 1000;
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
