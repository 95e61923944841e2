#pragma once
// Which files other programs hold open: one sweep of /proc/*/fd collects the
// (device, inode) of the open descriptors of every other process we may look
// at. Processes of other users are invisible without privileges.
//
// Only descriptors whose path (the text of their /proc link, which costs no
// access to the file's own file system) lies in one of the given folders are
// looked at further. A descriptor on another program's stuck mount (a
// hard-mounted NFS share that went away, a hung FUSE server) would block a
// stat for good; it is never touched. The price: a file held open under a
// path outside those folders (a hard link elsewhere, another mount of the
// same disk) is not seen, unless its name is a song's: such a descriptor
// (a sandboxed player that sees the music folder at a path of its own) is
// named by its mount and inode as procfs reports them (fdinfo, mountinfo),
// without touching the file's own file system either.

#include <QByteArray>

#include <functional>
#include <sys/types.h>
#include <unordered_set>
#include <vector>

class OpenFileSet
{
public:
    // A file: its device and inode.
    struct Key {
        dev_t device;
        ino_t inode;
        bool operator==(const Key &) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key &k) const noexcept
        {
            return std::hash<unsigned long long>()(static_cast<unsigned long long>(k.inode) * 1000003ULL
                ^ static_cast<unsigned long long>(k.device));
        }
    };

    // Sweeps /proc now for files in folders (or below them; symbolic links
    // in the folder names are resolved); our own process is left out. A
    // folder that does not exist holds nothing.
    // wantedElsewhere(name, length) chooses the songs (files with an audio
    // extension, see EndsWithAudioExtension) outside the folders that are
    // looked up through procfs (by their file name, the part after the last
    // "/"); without it none are.
    using NameFilter = std::function<bool(const char *name, size_t length)>;
    static OpenFileSet sweep(const std::vector<QByteArray> &folders, const NameFilter &wantedElsewhere = {});
    static OpenFileSet sweep(const QByteArray &folder) { return sweep(std::vector<QByteArray> { folder }); }
    // An empty set: nothing is held open.
    OpenFileSet() = default;

    // Adds the files at paths (raw bytes) that another source reports held
    // open, as far as they lie in one of folders (as given, or with its
    // links resolved), or their file name passes wantedElsewhere (a
    // folder linked or bind-mounted at another path holds the same files):
    // only those are looked at on their file system.
    void addReported(const std::vector<QByteArray> &paths, const std::vector<QByteArray> &folders,
        const NameFilter &wantedElsewhere = {});

    bool contains(dev_t device, ino_t inode) const;
    void insert(dev_t device, ino_t inode) { m_files.insert(Key { device, inode }); }
    // Calls take(device, inode) for each file in the set, in no set order.
    template <typename Take> void forEach(Take take) const
    {
        for (const Key &k : m_files)
            take(k.device, k.inode);
    }
    // True when the file at nativePath exists and is in the set.
    bool containsPath(const QByteArray &nativePath) const;
    size_t size() const { return m_files.size(); }
    // The paths, as the Documents portal lends them to sandboxes
    // (/run/user/UID/doc/ID/...), of files the sweep found held open under
    // such a path with a wanted name: only the portal can say whose they are.
    const std::vector<QByteArray> &lentPaths() const { return m_lent; }

private:
    std::unordered_set<Key, KeyHash> m_files;
    std::vector<QByteArray> m_lent;
};
