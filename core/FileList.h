#pragma once
// The music folder's songs as the scan lists them. A folder library: its MP3
// files, regular files (a link to a regular file counts) whose name ends in
// ".mp3" in any letter case, dot-files left out. A tree library: every song
// below it (see TreeWalk.h), named by its path below the folder. Sorted
// ignoring letter case; the raw name bytes are kept, so names that are not
// valid UTF-8 can still be opened and played.

#include <QByteArray>
#include <QString>
#include <limits>
#include <mutex>
#include <vector>

class TFileList
{
public:
    // Lists folder anew and puts the names in order. A folder that is
    // missing or cannot be read lists nothing.
    void reread(const QByteArray &folder);
    // Lists every song below folder anew, named by its path below it
    // ("Artist/Album (1999)/01 Intro.flac"), and puts them in folder order:
    // paths compared a folder name at a time, ignoring letter case, so the
    // songs below a folder stay together. A folder that cannot be read is
    // skipped (see unreadableFolders()); a missing folder lists nothing.
    void rereadTree(const QByteArray &folder);

    // Puts the listed names in another order: order[k] is the place now of
    // the name that comes k-th.
    void reorder(const std::vector<int> &order);

    int count() const { return int(m_offsets.size()); }
    // The name's bytes, followed by a NUL in memory (ready for a system
    // call relative to the open folder); valid until the next listing.
    QByteArrayView rawName(int i) const { return QByteArrayView(m_pool.data() + m_offsets[size_t(i)]); }
    // The name as text (bytes that are not UTF-8 show as U+FFFD).
    QString name(int i) const;
    const QByteArray &folder() const { return m_folder; }

    // The real folders of the files that listed names link to outside the
    // folder itself (other programs hold those files under those paths).
    const std::vector<QByteArray> &linkedFolders() const { return m_linkedFolders; }
    // The folders the last tree listing could not read (0 after reread()).
    int unreadableFolders() const { return m_unreadableFolders; }

    // True when a listed file has exactly this name (raw bytes). Safe to
    // call from several threads; the first call builds its index.
    bool containsName(QByteArrayView name) const;
    // True when a listed song's file name (its name without folders) is
    // name: a tree's song held under a path of another program's own.
    bool containsFileName(QByteArrayView name) const;

    // True when name (raw bytes) matches the "*.mp3" mask.
    static bool matchesMask(const char *name, size_t length);
    // True when name (raw bytes, no folder) is one a tree listing lists:
    // not hidden, and with an audio extension (mp3, flac, ogg, oga, opus,
    // m4a) in any letter case.
    static bool matchesAudio(const char *name, size_t length);

private:
    class Names;
    void take(const QByteArray &folder, Names &names, std::vector<QByteArray> linked);

    QByteArray m_folder;
    // The names one after another, each ended by a NUL, and where each
    // starts, in order: one block for a folder of any size.
    std::vector<char> m_pool;
    std::vector<quint32> m_offsets;
    std::vector<QByteArray> m_linkedFolders;
    int m_unreadableFolders = 0;
    bool m_nested = false; // listed by rereadTree()
    // Where each name (or file name) is, by its hash (open addressing: the
    // name's place in the list plus one, 0 for a free slot), made by the
    // first look-up after a listing: a few bytes a song.
    struct Slots {
        bool made = false;
        std::vector<quint32> places;
    };
    template <typename Key> bool findIn(Slots &slots, QByteArrayView name, Key key) const;
    void forgetIndexes();
    static QByteArrayView fileNameOf(QByteArrayView path);
    mutable std::mutex m_indexLock;
    mutable Slots m_names;
    mutable Slots m_fileNames;
};
