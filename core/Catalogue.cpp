#include "Catalogue.h"

#include "CellText.h"
#include "FIL_Func.h"
#include "FileWrite.h"
#include "InfoCache.h"
#include "OpenFileSet.h"
#include "QLXError.h"
#include "STR_Func.h"
#include "TagCache.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <fcntl.h>
#include <iterator>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>

namespace
{

constexpr qint64 Missing = -2; // the file vanished after it was listed
constexpr qint64 Unknown = -3; // nothing shown yet

// One probe of a listed file: its size, -1 when it exists but another
// program holds it open or we may not read it, Missing when it is gone.
// looked: what a look at it earlier in the scan told, if there was one.
qint64 probe(
    int dirFd, const char *name, const OpenFileSet &heldOpen, SongMoves::Stamp &stamp, const FileStat *looked)
{
    struct stat seen;
    bool statted = false;
    qint64 birth = 0;
    const qint64 size = looked ? FileSizeOfStat(dirFd, name, heldOpen, *looked, seen, statted, birth)
                               : FileSizeOfAt(dirFd, name, heldOpen, seen, statted, birth);
    if (statted)
        stamp = { quint64(seen.st_dev), quint64(seen.st_ino), qint64(seen.st_size),
            qint64(seen.st_mtim.tv_sec) * 1000000000 + seen.st_mtim.tv_nsec, birth };
    if (size >= 0)
        return size;
    // Rare: tell a file that is in use from one that is gone (or is no
    // longer a file at all, which must not count as a play).
    struct stat st;
    return ::fstatat(dirFd, name, &st, 0) == 0 && S_ISREG(st.st_mode) ? -1 : Missing;
}

// Whether moves has move already (the same files, the same outcome).
bool told(const std::vector<SongMoves::Move> &moves, const SongMoves::Move &move)
{
    return std::any_of(moves.begin(), moves.end(), [&](const SongMoves::Move &m) {
        return m.fromInfo == move.fromInfo && m.toInfo == move.toInfo && m.outcome == move.outcome;
    });
}

class DirFd
{
public:
    // An empty folder is the current one, as for the listing; with open
    // false nothing is opened and get() is -1.
    explicit DirFd(const QByteArray &folder, bool open = true)
        : m_fd(open ? ::open(folder.isEmpty() ? "." : folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                    : -1)
    {
    }
    ~DirFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

// The grid values of a song information file the locator found (none: the
// defaults) in the folder open as infoDir (-1: every song reads as having
// no file). With a cache, a file as it was last time is only looked at, and
// the line of every file read or looked at goes to text.
SongInfo::GridValues readValues(int infoDir, const SongInfo::Locator::Found &file, QByteArray &buffer,
    const InfoCache::Cache *cache, qsizetype &lastKept, InfoCache::Lines *lines, qint64 keptBeforeNs)
{
    if (infoDir < 0 || !file.name || !cache)
        return SongInfo::ReadSongInfoAt(infoDir, infoDir >= 0 ? file : SongInfo::Locator::Found {}, buffer);
    SongInfo::GridValues values;
    struct stat st;
    const QByteArrayView name(file.name, file.length);
    const qsizetype kept = cache->find(name, lastKept);
    if (kept >= 0)
        lastKept = kept;
    if (kept >= 0 && ::fstatat(infoDir, file.name, &st, 0) == 0 && S_ISREG(st.st_mode)
        && cache->valuesOf(kept, InfoCache::StampOf(st), values)) {
        // The line stays as it was.
        if (lines)
            lines->keep(kept, cache->lineEnd(kept));
        return values;
    }
    const bool read = ReadWholeFileAt(infoDir, file.name, buffer, file.plainFile, &st);
    values = SongInfo::ReadGridValues(buffer);
    if (read && lines)
        lines->add(name, InfoCache::StampOf(st), values, keptBeforeNs);
    return values;
}

} // namespace

// What a scan learns of one file before it is put into the cells.
struct TCatalogue::RowInfo {
    // Full scans only: the song information file's values (its defaults when
    // the file or its whole folder is missing or unreadable), and the file's
    // name, in the scan's listing, when it is not the song's own.
    SongInfo::GridValues values;
    const char *infoName = nullptr;
    // The file's size, or -1 (held open or unreadable), or Missing.
    qint64 size = Unknown;
    // What the index keeps of it.
    SongMoves::Stamp stamp;
};

// The folders a scan reads, open for the scan's length. info is -1 for a
// light scan, and for a full scan whose song information folder is missing
// or cannot be opened: every song then reads as having no file. A full
// scan finds the song information files in the listing of that folder.
struct TCatalogue::Folders {
    int music;
    int info;
    const OpenFileSet &heldOpen;
    const SongInfo::Locator *infoFiles;
    // A tree library's full scan looked at every song as it read the tags
    // (in row order): what it saw stands for the probe's own look.
    const std::vector<FileStat> *looked = nullptr;
    // And listed the folders at the top of the information folder (see
    // foldersIn).
    const std::vector<QByteArray> *infoFolders = nullptr;
    // What the grid showed of the song information files last time (full
    // scans with a cache only), and the last change time of a file kept in it.
    const InfoCache::Cache *infoCache = nullptr;
    qint64 keptBeforeNs = 0;
};

// Collects rows ahead of the scan on worker threads, in chunks; the scan
// takes the results in file order, so the cells come out exactly as a
// one-thread scan would write them. Each chunk's rows are made by the
// thread that reads them and dropped once taken, so the main thread never
// waits for memory it does not need yet.
class TCatalogue::Prefetch
{
public:
    static constexpr int Chunk = 256;
    static constexpr size_t Threads = 8;

    // valuesOut, when given, gets the values cache's lines of the rows as
    // they are taken.
    Prefetch(const TCatalogue &catalogue, ScanMode mode, const TFileList &files, const Folders &folders,
        int first, int count, InfoCache::Lines *valuesOut = nullptr)
        : m_catalogue(catalogue)
        , m_mode(mode)
        , m_files(files)
        , m_folders(folders)
        , m_first(first)
        , m_count(std::max(count - first, 0))
        , m_chunks(size_t((m_count + Chunk - 1) / Chunk))
        , m_texts(valuesOut ? m_chunks.size() : 0)
        , m_chunkDone(m_chunks.size())
        , m_valuesOut(valuesOut)
    {
        // More threads than cores: on a cold cache they wait for the disk
        // most of the time, and more requests in flight finish sooner.
        // (A core kept busy by another program also takes less from eight
        // threads than from two.)
        const size_t threads = std::min<size_t>(Threads, m_chunks.size());
        for (size_t t = 0; t < threads; ++t)
            m_threads.emplace_back([this] { work(); });
    }
    ~Prefetch()
    {
        m_stop = true;
        for (std::thread &t : m_threads)
            t.join();
    }

    RowInfo &take(int i)
    {
        const size_t k = size_t(i - m_first);
        const size_t chunk = k / Chunk;
        if (chunk != m_taking) {
            // The chunk before is done with: its values are in the cells.
            if (m_taking < m_chunks.size())
                std::vector<RowInfo>().swap(m_chunks[m_taking]);
            m_taking = chunk;
            m_chunkDone[chunk].wait(false, std::memory_order_acquire);
            if (m_valuesOut)
                m_valuesOut->append(std::move(m_texts[chunk]));
        }
        return m_chunks[chunk][k % Chunk];
    }

private:
    void work()
    {
        Scratch scratch;
        for (;;) {
            const size_t chunk = m_nextChunk.fetch_add(1);
            if (chunk >= m_chunks.size() || m_stop)
                break;
            const int begin = int(chunk) * Chunk;
            const int end = std::min(m_count, begin + Chunk);
            std::vector<RowInfo> rows;
            rows.reserve(size_t(end - begin));
            InfoCache::Lines text;
            for (int k = begin; k < end && !m_stop; ++k)
                rows.push_back(m_catalogue.collectRow(
                    m_mode, m_files, m_folders, m_first + k, scratch, m_valuesOut ? &text : nullptr));
            m_chunks[chunk] = std::move(rows);
            if (m_valuesOut)
                m_texts[chunk] = std::move(text);
            m_chunkDone[chunk].store(true, std::memory_order_release);
            m_chunkDone[chunk].notify_all();
        }
    }

    const TCatalogue &m_catalogue;
    const ScanMode m_mode;
    const TFileList &m_files;
    const Folders m_folders;
    const int m_first;
    const int m_count;
    std::vector<std::vector<RowInfo>> m_chunks;
    std::vector<InfoCache::Lines> m_texts; // the values cache's lines of each chunk
    std::vector<std::atomic<bool>> m_chunkDone;
    InfoCache::Lines *const m_valuesOut;
    size_t m_taking = size_t(-1);
    std::atomic<size_t> m_nextChunk { 0 };
    std::atomic<bool> m_stop { false };
    std::vector<std::thread> m_threads;
};

TCatalogue::TCatalogue(TSongList &grid)
    : m_grid(grid)
{
}

TCatalogue::~TCatalogue()
{
    waitForIndex();
    stopTagReader();
}

void TCatalogue::stopTagReader()
{
    m_stopTags = true;
    if (m_tagReader.joinable())
        m_tagReader.join();
    m_stopTags = false;
    dropReadTags();
}

void TCatalogue::dropReadTags()
{
    m_tagRows.reset();
    const std::lock_guard<std::mutex> lock(m_tagsReadLock);
    m_tagsReadJob.reset();
}

bool TCatalogue::tagProgress(int &done, int &total) const
{
    if (!m_tagReading.load())
        return false;
    done = m_tagsRead.load();
    total = m_tagsToRead;
    return true;
}

void TCatalogue::setFolders(const QByteArray &musicFolder, const QByteArray &infoFolder, TLibraryKind library)
{
    // Tags read for another folder would only be thrown away.
    if (musicFolder != m_musicFolder || library != m_library)
        stopTagReader();
    m_musicFolder = musicFolder;
    m_infoFolder = infoFolder;
    m_library = library;
    m_infoNames.clear();
}

namespace
{

// The names in folder that may be folders (anything but a plain file), in
// byte order: a nested song whose first folder is not among them has no
// information file, and a scan need not look for one.
std::vector<QByteArray> foldersIn(const QByteArray &folder)
{
    std::vector<QByteArray> names;
    DIR *dir = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_type != DT_REG && std::strcmp(entry->d_name, ".") != 0
            && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

QByteArray TCatalogue::infoPathOf(int i) const
{
    // As the last full scan found it: the file of another letter case (a
    // song at the top only), or the song's own name below the information
    // folder, whether that file exists or is yet to be made.
    const auto found = std::lower_bound(m_infoNames.begin(), m_infoNames.end(), i,
        [](const std::pair<int, QByteArray> &e, int song) { return e.first < song; });
    if (found != m_infoNames.end() && found->first == i)
        return SongInfo::PathInInfoFolder(m_infoFolder, found->second);
    return SongInfo::PathInInfoFolder(m_infoFolder, SongInfo::InfoNameBelow(m_files->rawName(i)));
}

TCatalogue::RowInfo TCatalogue::collectRow(ScanMode mode, const TFileList &files, const Folders &folders,
    int i, Scratch &scratch, InfoCache::Lines *valuesText) const
{
    RowInfo row;
    const QByteArrayView raw = files.rawName(i);
    if (mode == ScanMode::Full) {
        SongInfo::Locator::Found file;
        if (const qsizetype slash = raw.indexOf('/'); slash >= 0) {
            const std::vector<QByteArray> *above = folders.infoFolders;
            if (!above || std::binary_search(above->begin(), above->end(), raw.first(slash))) {
                SongInfo::InfoNameBelow(raw, scratch.name);
                file.name = scratch.name.constData();
                file.length = scratch.name.size();
            }
        } else {
            file = folders.infoFiles->find(raw, scratch.name);
            if (!file.ownName)
                row.infoName = file.name;
        }
        row.values = readValues(folders.info, file, scratch.content, folders.infoCache, scratch.lastKept,
            valuesText, folders.keptBeforeNs);
    }
    row.size = probe(folders.music, raw.data(), folders.heldOpen, row.stamp,
        folders.looked ? &(*folders.looked)[size_t(i)] : nullptr);
    return row;
}

bool TCatalogue::writeRow(ScanMode mode, int r, RowInfo &info, const Hooks &hooks, QStringList &errors)
{
    const bool full = mode == ScanMode::Full;
    const size_t i = size_t(r - 1);
    bool changed = full;
    if (info.size == -1) {
        playingSong(r, info, hooks, errors);
        m_shownSizes[i] = -1;
        changed = true;
    } else if (info.size != m_shownSizes[i]) {
        m_grid.setCell(TSongList::ColSize, r, CellText::SizeCell(info.size == Missing ? -1 : info.size));
        m_shownSizes[i] = info.size;
        changed = true;
    }
    if (full) {
        const QString playTime = playTimeOf(i, info.values.playTime);
        m_grid.setCell(TSongList::ColTime, r, CellText::TimeCell(playTime));
        double days = 0;
        if (CellText::ParsePlayTime(StrTrim(playTime), days))
            m_totalTime += days;
        if (info.size >= 0)
            m_totalSize += double(info.size);
        m_grid.setCell(TSongList::ColYear, r, QLatin1Char(' ') + songYearOf(i, info.values.songYear));
        m_grid.setCell(TSongList::ColLyrics, r, QString(info.values.lyricsMark));
    }
    // A light scan knows a count only when it just counted a play (the
    // count comes trimmed).
    if (!info.values.usageCount.isEmpty())
        m_grid.setCell(TSongList::ColCount_, r, StrPadLeft(info.values.usageCount, QLatin1Char(' '), 5));
    return changed;
}

void TCatalogue::readTreeSongs(TFileList &files)
{
    // What the last scan read of songs whose files have not changed since
    // is taken from the cache: no audio file of those is opened.
    TagCache::Entries cached;
    QByteArray bytes;
    if (!m_tagCachePath.isEmpty() && ReadWholeFile(m_tagCachePath, bytes))
        cached = TagCache::Parse(bytes);
    bytes = QByteArray();
    // Tags read behind an earlier scan and not shown yet are shown by this
    // scan, from the cache.
    dropReadTags();
    // Tags being read behind an earlier scan: their names stand in here too.
    const bool reading = m_tagReading.load();
    // Behind the scan only when what is read there is kept: else the scan
    // that shows it would send the reading off again.
    const bool behind = m_tagsDone && !m_tagCachePath.isEmpty() && !m_tagCacheUnwritable.load();
    const int readNow = reading ? 0 : behind ? TagsReadInScan : -1;
    std::vector<int> unread;
    std::vector<FileStat> looked;
    std::vector<TagCache::Entry> entries
        = ReadTreeSongs(m_musicFolder, files, cached, m_tagsOpened, readNow, &unread, &looked);
    const std::vector<int> order = TreeOrder(entries);
    // The cache is written in listing order: by the reading behind the scan
    // once it is done, else here when anything changed.
    const bool sendBehind = !unread.empty() && !reading;
    const bool writeNow = unread.empty() && !reading && !m_tagCachePath.isEmpty()
        && (m_tagsOpened > 0 || size_t(cached.size()) != entries.size());
    std::vector<QByteArray> names;
    if (sendBehind || writeNow) {
        names.reserve(size_t(files.count()));
        for (int i = 0; i < files.count(); ++i)
            names.push_back(files.rawName(i).toByteArray());
    }
    if (sendBehind) {
        if (m_tagReader.joinable())
            m_tagReader.join();
        m_tagsRead = 0;
        m_tagsToRead = int(unread.size());
        if (m_tagsBegin)
            m_tagsBegin(m_tagsToRead);
        m_tagReading = true;
        // The rows this scan shows take those tags once they are read.
        m_tagRows = std::make_unique<TagRows>();
        m_tagRows->serial = ++m_tagSerial;
        m_tagRows->listed = order;
        m_tagRows->timeWidth.assign(order.size(), -1);
        m_tagRows->ownYear.assign(order.size(), 1);
        TagJob job { m_musicFolder, m_tagCachePath, std::move(names), entries, std::move(unread),
            m_tagSerial };
        m_tagReader = std::thread([this, job = std::move(job)]() mutable { runTagJob(job); });
    } else if (writeNow) {
        try {
            WriteFileAtomic(m_tagCachePath, TagCache::Compose(names, entries));
        } catch (const EQLXError &) {
            // Only speed is lost: the next start reads the tags again.
        }
    }
    files.reorder(order);
    m_treeSongs.reserve(entries.size());
    m_looked.reserve(entries.size());
    // The artists and titles the rows keep are copied here, one after
    // another, while what the cache was read into still stands: its keys,
    // albums and first strings go when this returns, and leave whole pages
    // to give back instead of holes between the strings the rows keep.
    // Songs that shared an artist share its copy. Rows whose tags are read
    // behind the scan take new strings once they are read: no copy then.
    QString artistWas, artistCopy;
    for (const int k : order) {
        TTreeSong &song = entries[size_t(k)].song;
        if (!sendBehind) {
            if (!song.artist.isSharedWith(artistWas) || song.artist.isEmpty()) {
                artistWas = song.artist;
                artistCopy = QString(song.artist.constData(), song.artist.size());
            }
            song.artist = artistCopy;
            song.title = QString(song.title.constData(), song.title.size());
        }
        song.album = QString(); // only orders the rows
        m_treeSongs.push_back(std::move(song));
        m_looked.push_back(looked[size_t(k)]);
    }
}

void TCatalogue::runTagJob(TagJob &job)
{
    ReadTags(job.folder, job.names, job.unread, job.entries, m_tagsRead, m_stopTags);
    const bool stopped = m_stopTags.load();
    std::vector<QByteArray> names = std::move(job.names);
    const QByteArray cachePath = job.cachePath;
    auto read = std::make_shared<TagJob>(std::move(job));
    job = TagJob();
    if (stopped) {
        m_tagReading = false;
        return;
    }
    // The rows may take the tags while they go into the cache: a slow disk
    // syncing the cache file holds back nothing the window shows.
    {
        const std::lock_guard<std::mutex> lock(m_tagsReadLock);
        m_tagsReadJob = read;
    }
    if (m_tagsReadHook)
        m_tagsReadHook();
    if (!cachePath.isEmpty()) {
        try {
            WriteFileAtomic(cachePath, TagCache::Compose(names, read->entries));
        } catch (const EQLXError &) {
            // The next full scan reads them again, while the window waits.
            m_tagCacheUnwritable = true;
        }
    }
    // What was read is in the cache now, for a full scan to show.
    std::vector<QByteArray>().swap(names);
    read.reset();
    m_tagReading = false;
    if (m_tagsDone)
        m_tagsDone();
}

QString TCatalogue::playTimeOf(size_t i, const QString &playTime)
{
    if (m_tagRows && i < m_tagRows->timeWidth.size()) {
        const QString own = StrTrim(playTime);
        m_tagRows->timeWidth[i] = !own.isEmpty() && own != QLatin1String("00:00") ? -1 : int(playTime.size());
    }
    // A missing Playtime reads as "00:00", one the details dialog saved
    // empty as blanks: neither is a time of the file's own.
    if (i >= m_treeSongs.size() || m_treeSongs[i].lengthMs <= 0)
        return playTime;
    const QString own = StrTrim(playTime);
    if (!own.isEmpty() && own != QLatin1String("00:00"))
        return playTime;
    return StrPadLeft(LengthText(m_treeSongs[i].lengthMs), QLatin1Char(' '), playTime.size());
}

QString TCatalogue::songYearOf(size_t i, const QString &songYear)
{
    if (m_tagRows && i < m_tagRows->ownYear.size())
        m_tagRows->ownYear[i] = !StrTrim(songYear).isEmpty();
    if (i >= m_treeSongs.size() || m_treeSongs[i].year <= 0 || !StrTrim(songYear).isEmpty())
        return songYear;
    return QString::number(m_treeSongs[i].year);
}

TPlayInput TCatalogue::playInput() const
{
    return m_plays ? m_plays() : TPlayInput { {}, { SweepOpenFiles } };
}

OpenFileSet TCatalogue::heldPlaying(const TFileList &files, const QByteArray &musicFolder,
    const TPlayInput &plays, THeldSongs &heldSongs, std::vector<QByteArray> &unplaced)
{
    // Only descriptors in the music folder (and the folders its links lead
    // to) are looked at: another program's stuck mount cannot stop the scan.
    TPlayScope scope { files.linkedFolders(), {} };
    scope.folders.push_back(musicFolder);
    // A song held elsewhere (a sandboxed player's own path to the folder)
    // keeps its file name, whatever folders of the tree it lies in.
    scope.listedName = [&files](const char *name, size_t length) {
        return files.containsFileName(QByteArrayView(name, qsizetype(length)));
    };
    const THeldSongs::Clock::time_point sweptAt = THeldSongs::Clock::now();
    TPlayReport report = plays.sweep(scope);
    // A song lent to a sandbox by the Documents portal, whether a player
    // names it or the sweep found it held, is the document's own file, once
    // the portal has said where that is.
    std::vector<QByteArray> paths;
    std::vector<QByteArray> unknown;
    for (const QByteArray &path : report.paths) {
        QByteArray id, rest;
        if (!PortalDocument(path, id, rest))
            paths.push_back(path);
        else if (const auto folder = report.documents.constFind(id); folder != report.documents.constEnd())
            paths.push_back(*folder + '/' + rest);
        else if (std::find(unknown.begin(), unknown.end(), id) == unknown.end())
            unknown.push_back(id);
    }
    for (const QByteArray &tail : report.tails)
        if (const QByteArray path = pathEndingIn(files, musicFolder, tail); !path.isEmpty())
            paths.push_back(path);
    unplaced = std::move(unknown);
    report.files.addReported(paths, scope.folders, scope.listedName);
    return heldSongs.confirm(report.files, sweptAt);
}

QByteArray TCatalogue::pathEndingIn(
    const TFileList &files, const QByteArray &musicFolder, const QByteArray &tail)
{
    // A tree library's song may be listed by the tail itself (MPD's music
    // folder is the music folder).
    if (!tail.contains('\0') && tail.contains('/') && files.containsName(tail))
        return (musicFolder.isEmpty() ? QByteArray(".") : musicFolder) + '/' + tail;
    // The music folder is one folder: the song has the tail's file name,
    // and its path, as listed or with the folder's links resolved, ends in
    // the rest of the tail.
    const qsizetype slash = tail.lastIndexOf('/');
    const QByteArray name = tail.mid(slash + 1);
    if (name.isEmpty() || tail.contains('\0') || !files.containsName(name))
        return QByteArray();
    const QByteArray folder = musicFolder.isEmpty() ? QByteArray(".") : musicFolder;
    const QByteArray path = folder + (folder.endsWith('/') ? "" : "/") + name;
    const QByteArray ending = '/' + tail;
    if (path.endsWith(ending))
        return path;
    char *real = ::realpath(path.constData(), nullptr);
    const bool ends = real && QByteArrayView(real).endsWith(ending);
    std::free(real);
    return ends ? path : QByteArray();
}

QStringList TCatalogue::RefreshList(ScanMode mode, const Hooks &hooks)
{
    if (mode == ScanMode::Light) {
        const std::unique_ptr<LightScan> scan = prepareLight();
        scan->probe();
        return applyLight(*scan, hooks);
    }
    QStringList errors;
    m_totalTime = 0;
    m_totalSize = 0;
    m_artists.clear();
    // The moves the index called for after the last scan are made first, so
    // the rows read the files under their new names; meanwhile the window
    // answers.
    while (m_indexing.load() && hooks.waiting) {
        hooks.waiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    waitForIndex();
    reportMoves(errors);
    // The two folders are listed side by side, into a new list: a light
    // scan's probe may still hold the old one. What the grid showed of the
    // information files last time is read meanwhile.
    const qint64 keptBefore = InfoCache::NowNs() - m_valuesSettleNs;
    const bool cacheValues = !m_valuesCachePath.isEmpty() && keepsIndex();
    SongInfo::Locator infoFiles(m_infoFolder);
    std::thread infoLister([&infoFiles] { infoFiles.index(true); });
    InfoCache::Cache valuesCache;
    std::thread cacheReader;
    if (cacheValues)
        cacheReader
            = std::thread([this, &valuesCache] { valuesCache = InfoCache::Cache::Read(m_valuesCachePath); });
    auto files = std::make_shared<TFileList>();
    m_treeSongs.clear();
    m_looked.clear();
    if (m_library == TLibraryKind::Tree) {
        // Rows in the order a library is read, which only the tags tell.
        files->rereadTree(m_musicFolder);
        readTreeSongs(*files);
    } else {
        files->reread(m_musicFolder);
    }
    m_files = std::move(files);
    m_infoNames.clear();
    infoLister.join();
    if (cacheReader.joinable())
        cacheReader.join();
    const int count = m_files->count();

    const DirFd dir(m_musicFolder);
    const DirFd infoDir(m_infoFolder);
    const OpenFileSet held = heldPlaying(*m_files, m_musicFolder, playInput(), m_held, m_unplaced);
    std::vector<QByteArray> infoFolders;
    if (m_library == TLibraryKind::Tree)
        infoFolders = foldersIn(m_infoFolder);
    const Folders folders { dir.get(), infoDir.get(), held, &infoFiles,
        m_looked.empty() ? nullptr : &m_looked, m_library == TLibraryKind::Tree ? &infoFolders : nullptr,
        cacheValues ? &valuesCache : nullptr, keptBefore };
    InfoCache::Lines valuesText;
    InfoCache::Lines *const valuesOut = cacheValues ? &valuesText : nullptr;
    // The first rows are read here, to be shown at once; the rest of a large
    // folder is read ahead on other threads from now on.
    std::unique_ptr<Prefetch> prefetch;
    int prefetchFrom = count;
    if (count > EarlyRows) {
        prefetchFrom = EarlyRows;
        prefetch = std::make_unique<Prefetch>(*this, mode, *m_files, folders, EarlyRows, count, valuesOut);
    }
    m_grid.setRowCount(count + 1);
    m_shownSizes.assign(size_t(count), Unknown);
    std::vector<SongMoves::Stamp> stamps(static_cast<size_t>(count));
    Scratch scratch;

    QString previousArtist;
    int firstChanged = count + 1;
    for (int i = 0; i < count; ++i) {
        const int r = i + 1;
        if (i == EarlyRows) {
            m_grid.rowsChanged(std::min(firstChanged, r), r - 1);
            firstChanged = count + 1;
            if (hooks.yield)
                hooks.yield();
        }
        if (m_treeSongs.empty())
            putNameCells(r, m_files->rawName(i), previousArtist);
        else
            putNameCells(r, m_treeSongs[size_t(i)].artist, m_treeSongs[size_t(i)].title, previousArtist);
        RowInfo now;
        RowInfo &info = i >= prefetchFrom
            ? prefetch->take(i)
            : (now = collectRow(mode, *m_files, folders, i, scratch, valuesOut));
        stamps[size_t(i)] = info.stamp;
        if (info.infoName)
            m_infoNames.emplace_back(i, QByteArray(info.infoName));
        writeRow(mode, r, info, hooks, errors);
        firstChanged = std::min(firstChanged, r);
    }
    m_grid.rowsChanged(firstChanged, count);
    m_lengths.clear();
    for (const TTreeSong &song : m_treeSongs)
        m_lengths.push_back(song.lengthMs);
    m_treeSongs.clear();
    m_treeSongs.shrink_to_fit();
    std::vector<FileStat>().swap(m_looked);
    prefetch.reset();
    // Written behind the scan, and only when it says something new: a start
    // where nothing changed writes nothing.
    std::optional<ValuesCache> values;
    if (cacheValues && !valuesText.sameAs(valuesCache))
        values = ValuesCache { m_valuesCachePath, std::move(valuesCache), std::move(valuesText) };
    valuesCache = InfoCache::Cache();
    if (m_tagRows && keepsIndex())
        m_tagRows->stamps = stamps;
    if (keepsIndex())
        startIndex(std::move(stamps), infoFiles.interruptedMoves(), std::move(values));
    return errors;
}

void TCatalogue::followRenames(const std::vector<SongMoves::Rename> &renames)
{
    const DirFd infoDir(m_infoFolder);
    if (infoDir.get() < 0)
        return;
    const std::lock_guard<std::mutex> renaming(m_renaming);
    // Listed once for the whole burst of renames.
    SongInfo::Locator locator(m_infoFolder);
    locator.index();
    // The information file names of the listed songs, made when first
    // needed: a file found for a song in another letter case may be another
    // song's own.
    std::unordered_set<QByteArray> owned;
    const auto ownedByName = [this, &owned](const QByteArray &info) {
        if (owned.empty())
            for (int i = 0; i < m_files->count(); ++i)
                owned.insert(SongInfo::InfoNameBelow(m_files->rawName(i)));
        return owned.count(info) > 0;
    };
    for (const SongMoves::Rename &rename : songRenames(renames)) {
        if (std::optional<SongMoves::Move> move
            = SongMoves::Follow(infoDir.get(), locator, rename.first, rename.second, ownedByName)) {
            if (move->outcome == SongMoves::Outcome::Failed)
                m_failedRenames.push_back(move->fromSong);
            m_moves.push_back(std::move(*move));
        }
    }
}

std::vector<SongMoves::Rename> TCatalogue::songRenames(const std::vector<SongMoves::Rename> &renames) const
{
    std::vector<SongMoves::Rename> songs;
    songs.reserve(renames.size());
    for (const SongMoves::Rename &rename : renames) {
        if (!rename.first.endsWith('/') || !rename.second.endsWith('/')) {
            songs.push_back(rename);
            continue;
        }
        // A folder of a tree library moved: each listed song in it (and in
        // the folders below it) was renamed. The list may be older than the
        // move or already show it (a full scan listed the tree between the
        // move and its event).
        for (int i = 0; i < m_files->count(); ++i) {
            const QByteArrayView name = m_files->rawName(i);
            if (name.startsWith(rename.first))
                songs.emplace_back(
                    name.toByteArray(), rename.second + name.sliced(rename.first.size()).toByteArray());
            else if (name.startsWith(rename.second))
                songs.emplace_back(
                    rename.first + name.sliced(rename.second.size()).toByteArray(), name.toByteArray());
        }
    }
    return songs;
}

void TCatalogue::reportMoves(QStringList &errors)
{
    m_report = std::move(m_moves);
    m_moves.clear();
    // A move the watch tried already and saw fail or kept, told by this scan
    // or the one before (whose index found it too), is told once.
    for (SongMoves::Move &move : m_indexMoves) {
        if (!told(m_report, move) && !told(m_told, move))
            m_report.push_back(std::move(move));
    }
    m_indexMoves.clear();
    m_told = m_report;
    for (const SongMoves::Move &move : m_report) {
        if (move.outcome == SongMoves::Outcome::Failed)
            errors.append(SongMoves::ErrorText(move, m_infoFolder));
    }
}

void TCatalogue::startIndex(std::vector<SongMoves::Stamp> stamps, const std::vector<QByteArray> &leftovers,
    std::optional<ValuesCache> values)
{
    if (m_indexPath.isEmpty())
        return;
    IndexJob job { m_files, std::move(stamps), m_indexPath, m_musicFolder, m_infoFolder, leftovers,
        std::nullopt, std::move(values) };
    // Renames followed as they happened: only what failed is tried again.
    if (m_renamesFollowed) {
        job.retrying.emplace(m_failedRenames.begin(), m_failedRenames.end());
        for (const SongMoves::Entry &e : m_carry)
            job.retrying->insert(e.name);
    }
    m_failedRenames.clear();
    // Behind the scan: the list is shown by then, and however large the
    // index of last time is, the window goes on answering.
    m_indexing = true;
    m_indexer = std::thread([this, job = std::move(job)]() mutable { runIndex(job); });
}

void TCatalogue::runIndex(IndexJob &job)
{
    std::vector<SongMoves::Move> moves;
    std::vector<SongMoves::Entry> carry;
    bool news = false;
    // As most scans find it: the same songs under the same names.
    if (!job.leftovers.empty() || !SongMoves::Index::Holds(job.path, job.folder, *job.files, job.stamps))
        news = matchIndex(job, moves, carry);
    if (job.values) {
        try {
            WriteFileAtomic(job.values->path, job.values->lines.text(job.values->read), false);
        } catch (const EQLXError &) {
            // The next scan reads the files again.
        }
    }
    job.values.reset();
    // All it read goes back before the window's next scan needs memory.
    std::vector<SongMoves::Stamp>().swap(job.stamps);
    finishIndex(std::move(moves), std::move(carry), news);
}

bool TCatalogue::matchIndex(
    const IndexJob &job, std::vector<SongMoves::Move> &moves, std::vector<SongMoves::Entry> &carry) const
{
    const SongMoves::Index last = SongMoves::Index::Read(job.path, job.folder);
    {
        const std::lock_guard<std::mutex> renaming(m_renaming);
        const DirFd dir(job.folder);
        const DirFd infoDir(job.infoFolder);
        if (infoDir.get() >= 0 && !job.leftovers.empty())
            moves = SongMoves::FinishInterruptedMoves(infoDir.get(), job.leftovers);
        SongInfo::Locator locator(job.infoFolder);
        std::vector<SongMoves::Move> found = SongMoves::FollowFromIndex(last, *job.files, job.stamps,
            dir.get(), infoDir.get(), locator, carry,
            job.retrying ? [&job](const SongMoves::Entry &was) { return job.retrying->count(was.name) > 0; }
                         : std::function<bool(const SongMoves::Entry &)>());
        moves.insert(
            moves.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    }
    // What was listed, and the old names of moves that failed, for the
    // next scan to try again; a failure that is not new is no news.
    std::vector<SongMoves::Entry> entries;
    entries.reserve(job.stamps.size() + carry.size());
    for (int i = 0; i < job.files->count(); ++i)
        entries.push_back({ job.stamps[size_t(i)], job.files->rawName(i).toByteArray() });
    entries.insert(entries.end(), carry.begin(), carry.end());
    try {
        SongMoves::Index::Write(job.path, job.folder, entries, last.bytes());
    } catch (const EQLXError &) {
        // Only what happens while the program is not running goes
        // unseen; the next full scan tries again.
    }
    // The scan that started this told what the watch followed, and the
    // failures of last time; neither is news. (Both stay as they are until
    // the next full scan, which waits for this.)
    return std::any_of(moves.begin(), moves.end(), [&](const SongMoves::Move &m) {
        const bool failedBefore = m.outcome == SongMoves::Outcome::Failed
            && std::any_of(m_carry.begin(), m_carry.end(),
                [&](const SongMoves::Entry &e) { return e.name == m.fromSong; });
        return !told(m_told, m) && !failedBefore;
    });
}

void TCatalogue::finishIndex(
    std::vector<SongMoves::Move> moves, std::vector<SongMoves::Entry> carry, bool news)
{
    m_indexMoves = std::move(moves);
    m_carryNext = std::move(carry);
#ifdef __GLIBC__
    // What the index took while it was matched goes back at once.
    ::malloc_trim(0);
#endif
    m_indexing = false;
    if (m_indexDone)
        m_indexDone(news);
}

void TCatalogue::waitForIndex()
{
    if (m_indexer.joinable()) {
        m_indexer.join();
        m_carry = std::move(m_carryNext);
        m_carryNext.clear();
    }
}

std::unique_ptr<TCatalogue::LightScan> TCatalogue::prepareLight() const
{
    std::unique_ptr<LightScan> scan(new LightScan(*this, m_files, m_musicFolder));
    scan->m_plays = playInput();
    scan->m_held = m_held;
    return scan;
}

void TCatalogue::LightScan::probe()
{
    const TFileList &files = *m_files;
    const int count = files.count();
    const OpenFileSet held = heldPlaying(files, m_folder, m_plays, m_held, m_unplaced);
    const DirFd dir(m_folder);
    const Folders folders { dir.get(), -1, held, nullptr };
    m_sizes.resize(size_t(count));
    // A large folder is probed on several threads.
    std::unique_ptr<Prefetch> prefetch;
    if (count >= ParallelProbes)
        prefetch = std::make_unique<Prefetch>(m_catalogue, ScanMode::Light, files, folders, 0, count);
    Scratch scratch;
    for (int i = 0; i < count; ++i)
        m_sizes[size_t(i)] = prefetch
            ? prefetch->take(i).size
            : m_catalogue.collectRow(ScanMode::Light, files, folders, i, scratch).size;
    m_probed = true;
}

QStringList TCatalogue::applyLight(LightScan &scan, const Hooks &hooks)
{
    QStringList errors;
    // A full scan listed the folder anew meanwhile (its rows are current),
    // or another music folder was chosen (its full scan follows).
    if (!scan.m_probed || scan.m_files != m_files || scan.m_folder != m_musicFolder)
        return errors;
    m_held = std::move(scan.m_held);
    m_unplaced = std::move(scan.m_unplaced);
    const int count = m_files->count();
    m_shownSizes.resize(size_t(count), Unknown);
    int firstChanged = count + 1;
    int lastChanged = 0;
    for (int i = 0; i < count; ++i) {
        const int r = i + 1;
        if (i == EarlyRows && hooks.yield) {
            m_grid.rowsChanged(std::min(firstChanged, r), r - 1);
            firstChanged = count + 1;
            lastChanged = 0;
            hooks.yield();
        }
        RowInfo info;
        info.size = scan.m_sizes[size_t(i)];
        if (writeRow(ScanMode::Light, r, info, hooks, errors)) {
            firstChanged = std::min(firstChanged, r);
            lastChanged = r;
        }
    }
    m_grid.rowsChanged(firstChanged, lastChanged);
    return errors;
}

void TCatalogue::putNameCells(int row, QByteArrayView rawName, QString &previousArtist)
{
    const QString name = QString::fromUtf8(rawName);
    putNameCells(row, CellText::ArtistPart(name), CellText::TitlePart(name), previousArtist);
}

void TCatalogue::putNameCells(int row, const QString &artist, const QString &title, QString &previousArtist)
{
    // A run of songs by one artist shows the name on its first row only;
    // the comparison is exact, so a change of letter case starts a new run.
    if (artist != previousArtist) {
        previousArtist = artist;
        m_grid.setCell(TSongList::ColArtist, row, artist);
        m_artists.append(artist);
    } else {
        m_grid.setCell(TSongList::ColArtist, row, QString());
    }
    m_grid.setCell(TSongList::ColTitle, row, title);
}

void TCatalogue::playingSong(int row, RowInfo &info, const Hooks &hooks, QStringList &errors)
{
    const QByteArray infoPath = infoPathOf(row - 1);
    info.values = SongInfo::ReadSongInfo(infoPath);
    m_grid.setCell(TSongList::ColSize, row, QStringLiteral("Lock"));
    if (hooks.locked)
        hooks.locked(row);

    const QString title = m_grid.Cells(TSongList::ColTitle, row);
    for (int r = row; r >= 1; --r) {
        const QString artist = StrTrim(m_grid.Cells(TSongList::ColArtist, r));
        if (!artist.isEmpty()) {
            if (hooks.playing)
                hooks.playing(artist + QStringLiteral(" - ") + title);
            break;
        }
    }
    if (!m_played.add(playedKey(row)))
        return;
    try {
        // A tree library's song knows its length; a song in a subfolder
        // gets the folders of its information file when first counted.
        QString playtime = QStringLiteral("??:??");
        if (const size_t i = size_t(row - 1); i < m_lengths.size() && m_lengths[i] > 0)
            playtime = LengthText(m_lengths[i]);
        if (m_files->rawName(row - 1).contains('/'))
            QDir().mkpath(QFile::decodeName(infoPath.left(infoPath.lastIndexOf('/'))));
        info.values.usageCount = SongInfo::CountPlay(infoPath, playtime);
    } catch (const EQLXError &e) {
        errors.append(e.message());
    }
}

QByteArray TCatalogue::BuildSelectedFile(int row) const
{
    if (row >= 1 && row <= m_files->count())
        return m_files->rawName(row - 1).toByteArray();
    if (row < 1 || row >= m_grid.RowCount())
        return QByteArray();
    return (m_grid.artistOf(row) + QLatin1Char('-') + m_grid.Cells(TSongList::ColTitle, row)
        + QStringLiteral(".mp3"))
        .toUtf8();
}

QByteArray TCatalogue::SelectedPath(int row) const
{
    return m_musicFolder + '/' + BuildSelectedFile(row);
}

QString TCatalogue::playedKey(int row) const
{
    // A path below the music folder never reads as a title: it starts
    // with the folder's "/".
    if (m_library == TLibraryKind::Tree && row >= 1 && row <= m_files->count())
        return QLatin1Char('/') + QString::fromUtf8(m_files->rawName(row - 1));
    return m_grid.Cells(TSongList::ColTitle, row);
}

QByteArray TCatalogue::nestedInfoPath(int row) const
{
    if (row < 1 || row > m_files->count() || !m_files->rawName(row - 1).contains('/'))
        return QByteArray();
    return infoPathOf(row - 1);
}

QString TCatalogue::timeCaption() const
{
    return CellText::TimeTotal(m_totalTime);
}

QString TCatalogue::sizeCaption() const
{
    return CellText::SizeTotal(m_totalSize);
}
