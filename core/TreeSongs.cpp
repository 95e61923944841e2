#include "TreeSongs.h"

#include "CellText.h"
#include "SongTags.h"

#include <algorithm>
#include <atomic>
#include <numeric>
#include <thread>

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

std::vector<TTreeSong> ReadTreeSongs(const QByteArray &folder, const TFileList &files)
{
    const int count = files.count();
    std::vector<TTreeSong> songs(static_cast<size_t>(count));
    // Reading tags waits on the disk more than on the processor: more
    // threads than cores keep a cold disk busy.
    const int threads = std::clamp(int(std::thread::hardware_concurrency()) * 2, 2, 8);
    std::atomic<int> next { 0 };
    const QByteArray prefix = (folder.isEmpty() ? QByteArray(".") : folder) + '/';
    const auto work = [&] {
        QByteArray path;
        for (int i = next++; i < count; i = next++) {
            path = prefix;
            path.append(files.rawName(i));
            songs[size_t(i)] = treeSong(path, files.rawName(i));
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::min(threads, count); ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &thread : pool)
        thread.join();
    return songs;
}

std::vector<int> TreeOrder(const std::vector<TTreeSong> &songs)
{
    std::vector<int> order(songs.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&songs](int a, int b) {
        const TTreeSong &x = songs[size_t(a)];
        const TTreeSong &y = songs[size_t(b)];
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
