#pragma once
// The catalogue: the music folder listed into the song list, with the
// song information files read into its cells, the totals, the artist list
// and the played list, and the songs another program holds open found and
// counted. A full scan re-reads the folder and every song information file;
// a light scan only probes each listed file again.

#include "FileList.h"
#include "HeldSongs.h"
#include "InfoCache.h"
#include "PlayReport.h"
#include "PlayedList.h"
#include "ProgramSettings.h"
#include "SongInfo.h"
#include "SongList.h"
#include "SongMoves.h"
#include "TreeSongs.h"

#include <QByteArray>
#include <QHash>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>
#include <vector>

class TCatalogue
{
public:
    // A full scan lists the folder again and reads every song information
    // file; a light scan only probes the listed files.
    enum class ScanMode { Full, Light };

    // Rows handed to the view before the rest of a large folder is written
    // (it is read meanwhile, on other threads).
    static constexpr int EarlyRows = 20;
    // From this many songs on, a light scan probes on several threads.
    static constexpr int ParallelProbes = 2000;

    struct Hooks {
        // Called once, before the 21st file: the first rows are in the list
        // and the window may repaint and handle pending events.
        std::function<void()> yield;
        // A song is playing: "Artist - Title" of the last one found.
        std::function<void(const QString &artistTitle)> playing;
        // A cell became "Lock" and should show at once.
        std::function<void(int row)> locked;
        // Called again and again while a full scan waits for the index of
        // the one before: the window handles pending events.
        std::function<void()> waiting;
    };

    explicit TCatalogue(TSongList &grid);
    ~TCatalogue();

    // Folders as raw file-name bytes, without a trailing "/", and the kind of
    // library the music folder is. A tree library lists every song below
    // the folder with what its tags say, in the order a music library is
    // read; a song's information file is the information folder, then the
    // song's path below the music folder with ".INI" for its extension.
    void setFolders(const QByteArray &musicFolder, const QByteArray &infoFolder,
        TLibraryKind library = TLibraryKind::Folder);
    TLibraryKind library() const { return m_library; }
    // True when full scans match and write the index of the listed songs
    // (see setIndexPath).
    bool keepsIndex() const { return !m_indexPath.isEmpty(); }
    // Where a tree library keeps the tags it read between runs (raw path;
    // empty: nowhere, every full scan reads them all).
    void setTagCachePath(const QByteArray &path) { m_tagCachePath = path; }
    // Where full scans keep what the grid showed of each song information
    // file (raw path; empty: nowhere, every full scan reads every file). It
    // is written behind the scan with the index, so only where the index is
    // kept too. A file is kept in it once it has not changed for settleNs.
    void setValuesCachePath(const QByteArray &path, qint64 settleNs = InfoCache::SettleNs)
    {
        m_valuesCachePath = path;
        m_valuesSettleNs = settleNs;
    }
    // How many audio files the last full scan of a tree library opened for
    // their tags.
    int tagsOpened() const { return m_tagsOpened; }
    // A full scan reads at most this many songs' tags while the window waits
    // (a tree library's first start, a folder of new songs); when more are to
    // be read, their names stand in and they are read on a thread of their
    // own, into the cache, and done is called on that thread once they are
    // in: a full scan then shows them. Unset: a full scan reads them all.
    static constexpr int TagsReadInScan = 500;
    void setTagsDone(std::function<void()> done) { m_tagsDone = std::move(done); }
    // Called on that thread as soon as the tags are read, before they go
    // into the cache: showReadTags() may take them from then on.
    void setTagsRead(std::function<void()> read) { m_tagsReadHook = std::move(read); }
    // Called on the scan's thread just before the tags of count songs are
    // sent to be read behind it.
    void setTagsBegin(std::function<void(int count)> begin) { m_tagsBegin = std::move(begin); }
    // True while tags are read so: how many of how many are read.
    bool tagProgress(int &done, int &total) const;
    // Once they are read: puts the tags read behind the scan straight
    // into the rows of the listing they were read for, as a full scan would
    // show them from the cache (the rows in the order they give, the
    // artists, titles, and the Time and Year the song information leaves
    // empty), without listing or reading anything again, and matches the
    // index of the songs in their new order. Returns the failures to show,
    // as RefreshList does; nothing when the rows cannot take them (a full
    // scan has listed the folder since, the index of the last one is still
    // busy, or a light scan's probe still holds the list): a full scan
    // shows them then. Not while another scan runs.
    std::optional<QStringList> showReadTags();
    const QByteArray &musicFolder() const { return m_musicFolder; }
    const QByteArray &infoFolder() const { return m_infoFolder; }

    // Runs a scan; it is not re-entrant, so the yield hook must not start
    // another one. Failures (a count that is not a whole number, a song
    // information file that cannot be written) do not end it: their
    // messages come back, in row order, for the error box.
    QStringList RefreshList(ScanMode mode, const Hooks &hooks = {});
    QStringList RefreshList(bool full, const Hooks &hooks = {})
    {
        return RefreshList(full ? ScanMode::Full : ScanMode::Light, hooks);
    }

    // A light scan in two halves, so that the window need not wait for the
    // file system: probe() sweeps for open files and probes every listed
    // file, and may run on any thread; applyLight() then puts what it found
    // into the cells, on the list's thread. Only one probe runs at a time,
    // and never beside a full scan. A probe of a file list that a full scan
    // has replaced since is dropped by applyLight().
    class LightScan
    {
    public:
        void probe();

    private:
        friend class TCatalogue;
        LightScan(const TCatalogue &catalogue, std::shared_ptr<const TFileList> files, QByteArray folder)
            : m_catalogue(catalogue)
            , m_files(std::move(files))
            , m_folder(std::move(folder))
        {
        }
        const TCatalogue &m_catalogue;
        std::shared_ptr<const TFileList> m_files;
        const QByteArray m_folder; // the music folder as it was when the scan began
        TPlayInput m_plays; // what the sources of plays reported then
        // The list's files held open as they were then, and after the probe's
        // sweep; the documents that sweep found lent whose folder is unknown.
        THeldSongs m_held;
        std::vector<QByteArray> m_unplaced;
        std::vector<qint64> m_sizes;
        bool m_probed = false;
    };
    std::unique_ptr<LightScan> prepareLight() const;
    QStringList applyLight(LightScan &scan, const Hooks &hooks = {});

    // Where the index of the listed songs is kept between runs (raw path);
    // empty: none is kept, and a song renamed while the program was not
    // running loses its song information file as before.
    void setIndexPath(const QByteArray &path) { m_indexPath = path; }
    const QByteArray &indexPath() const { return m_indexPath; }
    // After each full scan, on a thread of its own, the index of the last one
    // is read and matched with what the scan found, the song information of
    // songs renamed while the program was not running is moved, and the new
    // index is written: a large or stale index never holds the scan. Then
    // done is called on that thread, with true when a full scan should show
    // what it did (files moved or kept; a move that failed again is no news).
    // The next full scan reports those moves.
    void setIndexDone(std::function<void(bool rescan)> done) { m_indexDone = std::move(done); }
    // True: every rename since the last full scan was followed as it
    // happened (the folder watch watched all the time), so the index of the
    // next full scan only tries again the moves that failed.
    void setRenamesFollowed(bool followed) { m_renamesFollowed = followed; }
    // Waits until that work is done (the destructor waits too).
    void waitForIndex();
    // True while it runs.
    bool indexBusy() const { return m_indexing.load(); }
    // Songs renamed within the music folder, as the folder watch saw them,
    // in order: each one's song information file is renamed after it at
    // once. A pair of names ending in "/" is a folder of a tree library
    // that moved, with the listed songs in it. The next full scan reports
    // these moves.
    void followRenames(const std::vector<SongMoves::Rename> &renames);
    // What the last full scan moved (its own moves from the index and the
    // ones followed since the scan before), then empty until the next one.
    std::vector<SongMoves::Move> takeMoves() { return std::move(m_report); }

    // Where each scan, as it starts, takes what the sources of plays hold.
    // A path counts when it is a listed song's file, also under another
    // path (a linked or bind-mounted folder); a tail when a listed song's
    // path ends in "/" + tail. Unset: the sweep of /proc alone.
    void setPlaySources(std::function<TPlayInput()> input) { m_plays = std::move(input); }
    // The documents the last scan found held open through the Documents
    // portal whose folder is not known yet: the portal should be asked.
    const std::vector<QByteArray> &unplacedDocuments() const { return m_unplaced; }

    // Tells players from programs that only read the songs (see THeldSongs).
    THeldSongs &heldSongs() { return m_held; }
    const THeldSongs &heldSongs() const { return m_held; }

    // The file name (raw bytes, no folder) of the song in row: the listed
    // file of that row, so a listed song can always be played; rows that
    // no scan filled are rebuilt as artist + "-" + title + ".mp3".
    QByteArray BuildSelectedFile(int row) const;
    // The full path of that file.
    QByteArray SelectedPath(int row) const;
    // The information file of the song in row when it is not found by its
    // file name in the information folder (a song in a subfolder of a tree
    // library), else empty.
    QByteArray nestedInfoPath(int row) const;
    // The information file of the song in row as the last full scan found it
    // (or the name to make), without listing the information folder.
    QByteArray infoPath(int row) const { return infoPathOf(row - 1); }

    const TFileList &files() const { return *m_files; }
    const TPlayedList &playedList() const { return m_played; }
    // Whether the song in row was seen playing during this run: in a folder
    // library any song of its title, in a tree library the song itself (two
    // songs called "Intro" are two songs).
    bool isPlayed(int row) const { return m_played.contains(playedKey(row)); }
    TPlayedList &playedList() { return m_played; }
    const QStringList &artistList() const { return m_artists; }
    double totalTime() const { return m_totalTime; }
    double totalSize() const { return m_totalSize; }
    QString timeCaption() const;
    QString sizeCaption() const;
    TSongList &grid() { return m_grid; }

private:
    struct RowInfo;
    struct Folders;
    // Working space a thread reuses from song to song.
    struct Scratch {
        QByteArray content;
        QByteArray name;
        qsizetype lastKept = -1; // the values cache's line the last song had
    };
    class Prefetch;
    // Learns what row i shows (its song information and its file's state)
    // without touching the cells; safe on worker threads.
    // valuesText, when given, gets the lines of the values cache for the song
    // information file read or looked at.
    RowInfo collectRow(ScanMode mode, const TFileList &files, const Folders &folders, int i, Scratch &scratch,
        InfoCache::Lines *valuesText = nullptr) const;
    // What the sources of plays hold of the listed songs, with the sweeps
    // made now, as far as held tells they count as playing (held takes the
    // sweep); unplaced gets the documents lent by the Documents portal whose
    // folder is not known yet. Writes nothing of the catalogue's: a light
    // scan's probe runs it on another thread.
    static OpenFileSet heldPlaying(const TFileList &files, const QByteArray &musicFolder,
        const TPlayInput &plays, THeldSongs &held, std::vector<QByteArray> &unplaced);
    TPlayInput playInput() const;
    // The path of the listed song whose path ends in "/" + tail, or empty.
    static QByteArray pathEndingIn(
        const TFileList &files, const QByteArray &musicFolder, const QByteArray &tail);
    // Puts what was collected into the cells of grid row r; true when the
    // row changed.
    bool writeRow(ScanMode mode, int r, RowInfo &info, const Hooks &hooks, QStringList &errors);
    void putNameCells(int row, QByteArrayView rawName, QString &previousArtist);
    void putNameCells(int row, const QString &artist, const QString &title, QString &previousArtist);
    // The grid's Time and Year of row i when its song information leaves
    // them empty: in a tree library, the song's real length and tag year.
    // (While tags are read behind the scan, each also notes what row i's
    // song information gave, for those tags to fill in later.)
    QString playTimeOf(size_t i, const QString &playTime);
    // Reads a tree library's tags (through the cache) and puts files and
    // m_treeSongs in the order a library is read.
    void readTreeSongs(TFileList &files);
    // The reading of tags behind the scan: the songs listed (names and what
    // is known of them, in listing order) and the places of those to read.
    struct TagJob {
        QByteArray folder, cachePath;
        std::vector<QByteArray> names;
        std::vector<TagCache::Entry> entries;
        std::vector<int> unread;
        int serial = 0; // which full scan sent it
    };
    // What the full scan that sent a TagJob showed, for its tags to go
    // straight into the rows: each row's place in the job's listing, the
    // width of the Playtime its song information gave (-1: a time of its
    // own, kept), whether it gave a SongYear, and what the index was given.
    struct TagRows {
        int serial = 0;
        std::vector<int> listed;
        std::vector<int> timeWidth;
        std::vector<char> ownYear;
        std::vector<SongMoves::Stamp> stamps;
    };
    void runTagJob(TagJob &job);
    void stopTagReader();
    // Forgets tags read behind a scan for its rows, and those rows.
    void dropReadTags();
    QString songYearOf(size_t i, const QString &songYear);
    void playingSong(int row, RowInfo &info, const Hooks &hooks, QStringList &errors);
    QByteArray infoPathOf(int i) const;
    QString playedKey(int row) const;
    // The renames of songs that renames (of songs and tree folders) make.
    std::vector<SongMoves::Rename> songRenames(const std::vector<SongMoves::Rename> &renames) const;
    // Full scans: the moves followed since the last one and the ones the
    // index called for after it, their failures added to errors.
    void reportMoves(QStringList &errors);
    // Matches and writes the index of the listed songs on a thread of its
    // own, after finishing the moves that were cut short (leftovers).
    // The values cache to write, as a full scan found the files, with the
    // one it read (which holds the lines kept).
    struct ValuesCache {
        QByteArray path;
        InfoCache::Cache read;
        InfoCache::Lines lines;
    };
    void startIndex(std::vector<SongMoves::Stamp> stamps, const std::vector<QByteArray> &leftovers,
        std::optional<ValuesCache> values = std::nullopt);
    // The indexer's work when the index does not hold the songs as they are:
    // the moves it calls for made, the new index written; true when that is
    // news for a full scan to show.
    // What the indexer works on, taken when the full scan ends.
    struct IndexJob {
        std::shared_ptr<const TFileList> files;
        std::vector<SongMoves::Stamp> stamps;
        QByteArray path, folder, infoFolder;
        std::vector<QByteArray> leftovers; // moves cut short, to finish
        // When renames were followed as they happened: the old names whose
        // moves failed, the only ones looked at.
        std::optional<std::unordered_set<QByteArray>> retrying;
        // Written behind the scan with the index, when it changed.
        std::optional<ValuesCache> values;
    };
    void runIndex(IndexJob &job);
    bool matchIndex(
        const IndexJob &job, std::vector<SongMoves::Move> &moves, std::vector<SongMoves::Entry> &carry) const;
    // The indexer's last step: what it found, for the next full scan.
    void finishIndex(std::vector<SongMoves::Move> moves, std::vector<SongMoves::Entry> carry, bool news);

    TSongList &m_grid;
    // Shared with a light scan's probe running on another thread; a full
    // scan lists into a new one.
    std::shared_ptr<TFileList> m_files = std::make_shared<TFileList>();
    THeldSongs m_held;
    std::function<TPlayInput()> m_plays;
    std::vector<QByteArray> m_unplaced; // by the last scan
    TPlayedList m_played;
    QStringList m_artists;
    QByteArray m_musicFolder;
    QByteArray m_infoFolder;
    TLibraryKind m_library = TLibraryKind::Folder;
    // A tree library's songs, in row order: what the last full scan read of
    // their tags (only its lengths are kept after it).
    std::vector<TTreeSong> m_treeSongs;
    // What the tags' reading saw of each song's file, in m_treeSongs' order,
    // for the full scan's probes.
    std::vector<FileStat> m_looked;
    std::vector<int> m_lengths;
    QByteArray m_tagCachePath;
    QByteArray m_valuesCachePath;
    qint64 m_valuesSettleNs = InfoCache::SettleNs;
    int m_tagsOpened = 0;
    std::thread m_tagReader;
    std::atomic<bool> m_tagReading { false };
    std::atomic<bool> m_stopTags { false };
    std::atomic<bool> m_tagCacheUnwritable { false };
    std::atomic<int> m_tagsRead { 0 };
    int m_tagsToRead = 0;
    int m_tagSerial = 0;
    std::unique_ptr<TagRows> m_tagRows;
    // The last job done, kept for showReadTags().
    std::mutex m_tagsReadLock;
    // (Shared with the reading thread while it writes them into the cache.)
    std::shared_ptr<const TagJob> m_tagsReadJob;
    std::function<void()> m_tagsDone;
    std::function<void()> m_tagsReadHook;
    std::function<void(int)> m_tagsBegin;
    // The song information files the last full scan found under a name
    // other than the song's own (another letter case), by song, in song
    // order. Only these are kept of the folder's listing, which a large
    // folder would hold in megabytes until the next full scan.
    std::vector<std::pair<int, QByteArray>> m_infoNames;
    std::vector<qint64> m_shownSizes; // size shown per row, to skip unchanged cells
    QByteArray m_indexPath;
    std::vector<SongMoves::Move> m_moves; // followed since the last full scan
    std::vector<SongMoves::Move> m_report; // of the last full scan
    std::vector<SongMoves::Move> m_told; // the same, kept after it is taken
    std::vector<SongMoves::Entry> m_carry; // old names of moves that failed, kept for the next try
    std::vector<QByteArray> m_failedRenames; // old names of the watch's renames that failed
    bool m_renamesFollowed = false;
    std::thread m_indexer;
    std::atomic<bool> m_indexing { false };
    // By the indexer, read once it is joined.
    std::vector<SongMoves::Move> m_indexMoves;
    std::vector<SongMoves::Entry> m_carryNext;
    std::function<void(bool)> m_indexDone;
    // Held while song information files are renamed: the indexer and the
    // folder watch's renames never run into each other.
    mutable std::mutex m_renaming;
    double m_totalTime = 0;
    double m_totalSize = 0;
};
