#include "FileList.h"

#include "CaseFold.h"
#include "FIL_Func.h"
#include "TreeWalk.h"

#include <QHashFunctions>
#include <QString>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool isRegularEntry(int dirFd, const dirent *entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

// The real folder of the file a link (a name that is not a plain file)
// leads to, added to folders once.
void noteLinkedFolder(int dirFd, const char *name, std::vector<QByteArray> &folders)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode))
        return;
    const QByteArray path = RealPathAt(dirFd, name);
    if (path.isEmpty())
        return;
    const QByteArray folder = path.left(std::max<qsizetype>(path.lastIndexOf('/'), 1));
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(folder);
}

} // namespace

bool TFileList::matchesMask(const char *name, size_t length)
{
    return length > 0 && name[0] != '.' && EndsWithMp3(name, length);
}

bool TFileList::matchesAudio(const char *name, size_t length)
{
    return length > 0 && name[0] != '.' && EndsWithAudioExtension(name, length);
}

QByteArrayView TFileList::fileNameOf(QByteArrayView path)
{
    return path.sliced(path.lastIndexOf('/') + 1);
}

template <typename Key> bool TFileList::findIn(Slots &slots, QByteArrayView name, Key key) const
{
    const std::lock_guard<std::mutex> guard(m_indexLock);
    if (!slots.made) {
        size_t room = 16;
        while (room < m_offsets.size() * 2)
            room *= 2;
        slots.places.assign(room, 0);
        for (int i = 0; i < count(); ++i) {
            const QByteArrayView k = key(rawName(i));
            size_t at = qHashBits(k.data(), size_t(k.size())) & (room - 1);
            // A key once: many songs may share a file name ("01.flac").
            while (slots.places[at] != 0 && key(rawName(int(slots.places[at] - 1))) != k)
                at = (at + 1) & (room - 1);
            if (slots.places[at] == 0)
                slots.places[at] = quint32(i + 1);
        }
        slots.made = true;
    }
    const size_t mask = slots.places.size() - 1;
    for (size_t at = qHashBits(name.data(), size_t(name.size())) & mask; slots.places[at] != 0;
         at = (at + 1) & mask) {
        if (key(rawName(int(slots.places[at] - 1))) == name)
            return true;
    }
    return false;
}

bool TFileList::containsName(QByteArrayView name) const
{
    return findIn(m_names, name, [](QByteArrayView path) { return path; });
}

bool TFileList::containsFileName(QByteArrayView name) const
{
    if (!m_nested)
        return containsName(name);
    return findIn(m_fileNames, name, &TFileList::fileNameOf);
}

void TFileList::forgetIndexes()
{
    const std::lock_guard<std::mutex> guard(m_indexLock);
    for (Slots *slots : { &m_names, &m_fileNames }) {
        slots->made = false;
        slots->places.clear();
    }
}

QString TFileList::name(int i) const
{
    return QString::fromUtf8(rawName(i));
}

namespace
{

// Names are put in order by their case-folded form, then (for names that
// differ only in letter case) by their bytes. In a path, "/" sorts before
// any other byte, which compares paths a folder name at a time: "A/x" comes
// before "A B/x", and the songs below a folder stay together. The folded
// forms are compared eight bytes at a time, as numbers: the entries are
// sorted on their first eight, each run that ties on them on the next
// eight, and so on. A long shared start ("The Beatles-") costs a few
// passes, not a byte-by-byte comparison at every step of the sort. ASCII
// names (nearly all) are folded on the fly; only the others keep a folded
// copy.
struct SortEntry {
    quint64 block; // eight bytes of the folded name, at the current depth
    quint32 offset; // of the name in the pool
    qint32 folded; // offset of its folded copy, -1 for an ASCII name
};

class NameSorter
{
public:
    NameSorter(const char *pool, const char *folded)
        : m_pool(pool)
        , m_folded(folded)
    {
    }

    void sort(SortEntry *begin, SortEntry *end, size_t depth) const
    {
        for (SortEntry *e = begin; e != end; ++e)
            e->block = blockOf(*e, depth);
        std::sort(begin, end, [](const SortEntry &a, const SortEntry &b) { return a.block < b.block; });
        for (SortEntry *run = begin; run != end;) {
            SortEntry *runEnd = run + 1;
            while (runEnd != end && runEnd->block == run->block)
                ++runEnd;
            if (runEnd - run > 1) {
                // A block that ends in NUL ended the name: the folded names
                // of the run are the same, and the bytes decide.
                if (run->block & 0xFF)
                    sort(run, runEnd, depth + 8);
                else
                    std::sort(run, runEnd, [this](const SortEntry &a, const SortEntry &b) {
                        return std::strcmp(m_pool + a.offset, m_pool + b.offset) < 0;
                    });
            }
            run = runEnd;
        }
    }

private:
    quint64 blockOf(const SortEntry &e, size_t depth) const
    {
        const bool ascii = e.folded < 0;
        const char *p = (ascii ? m_pool + e.offset : m_folded + e.folded) + depth;
        quint64 block = 0;
        size_t k = 0;
        for (; k < 8 && p[k]; ++k) {
            char c = ascii ? AsciiLower(p[k]) : p[k];
            if (c == '/')
                c = '\1';
            block = (block << 8) | static_cast<unsigned char>(c);
        }
        return k == 8 ? block : block << (8 * (8 - k));
    }

    const char *m_pool;
    const char *m_folded;
};

} // namespace

// The names of one listing, gathered for the sort.
class TFileList::Names
{
public:
    void reserve(size_t bytes)
    {
        pool.reserve(bytes);
        entries.reserve(bytes / 32);
    }

    // Adds folder/name (name alone for an empty folder).
    void add(QByteArrayView folder, QByteArrayView name)
    {
        SortEntry e { 0, quint32(pool.size()), -1 };
        if (!IsAscii(folder) || !IsAscii(name)) {
            // Each folder name folds on its own: one that is not UTF-8
            // leaves the others folded fully.
            e.folded = qint32(folded.size());
            for (qsizetype at = 0; at < folder.size();) {
                qsizetype end = folder.indexOf('/', at);
                end = end < 0 ? folder.size() : end;
                append(folded, FoldCase(folder.sliced(at, end - at)));
                folded.push_back('/');
                at = end + 1;
            }
            append(folded, FoldCase(name));
            folded.push_back('\0');
        }
        entries.push_back(e);
        if (!folder.isEmpty()) {
            append(pool, folder);
            pool.push_back('/');
        }
        append(pool, name);
        pool.push_back('\0');
    }

    std::vector<char> pool;
    std::vector<SortEntry> entries;
    std::vector<char> folded; // of the names that are not ASCII, each ended by a NUL

private:
    static void append(std::vector<char> &to, QByteArrayView bytes)
    {
        to.insert(to.end(), bytes.begin(), bytes.end());
    }
};

void TFileList::reread(const QByteArray &folder)
{
    Names names;
    std::vector<QByteArray> linked;
    if (DIR *dir = ::opendir(folder.isEmpty() ? "." : folder.constData())) {
        const int dirFd = ::dirfd(dir);
        // Reserved at once, the pool is not copied over and over as it grows.
        names.reserve(ListingRoomHint(dirFd));
        while (const dirent *entry = ::readdir(dir)) {
            const size_t length = std::strlen(entry->d_name);
            if (!matchesMask(entry->d_name, length) || !isRegularEntry(dirFd, entry))
                continue;
            if (entry->d_type != DT_REG)
                noteLinkedFolder(dirFd, entry->d_name, linked);
            names.add(QByteArrayView(), QByteArrayView(entry->d_name, qsizetype(length)));
        }
        ::closedir(dir);
    }
    take(folder, names, std::move(linked));
    m_unreadableFolders = 0;
    m_nested = false;
}

void TFileList::rereadTree(const QByteArray &folder)
{
    Names names;
    TreeWalkResult walk = WalkTree(
        folder,
        [&names](const TreeSong &song) {
            names.add(song.folder, song.name);
            return true;
        },
        true);
    take(folder, names, std::move(walk.linkedFolders));
    m_unreadableFolders = walk.unreadableFolders;
    m_nested = true;
}

void TFileList::take(const QByteArray &folder, Names &names, std::vector<QByteArray> linked)
{
    forgetIndexes();
    std::vector<SortEntry> &entries = names.entries;
    NameSorter(names.pool.data(), names.folded.data())
        .sort(entries.data(), entries.data() + entries.size(), 0);

    m_folder = folder;
    m_linkedFolders = std::move(linked);
    m_pool = std::move(names.pool);
    m_offsets.clear();
    m_offsets.shrink_to_fit();
    m_offsets.reserve(entries.size());
    for (const SortEntry &e : entries)
        m_offsets.push_back(e.offset);
}

void TFileList::reorder(const std::vector<int> &order)
{
    std::vector<quint32> offsets(order.size());
    for (size_t k = 0; k < order.size(); ++k)
        offsets[k] = m_offsets[size_t(order[k])];
    m_offsets = std::move(offsets);
    forgetIndexes();
}
