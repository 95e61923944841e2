#pragma once
// Which files other programs hold open: one sweep of /proc/*/fd collects the
// (device, inode) of every open descriptor of every other process we may
// look at. Processes of other users are invisible without privileges.

#include <QByteArray>
#include <sys/types.h>
#include <unordered_set>

class OpenFileSet
{
public:
    // Sweeps /proc now; our own process is left out.
    static OpenFileSet sweep();
    // An empty set: nothing is held open.
    OpenFileSet() = default;

    bool contains(dev_t device, ino_t inode) const;
    // True when the file at nativePath exists and is in the set.
    bool containsPath(const QByteArray &nativePath) const;
    size_t size() const { return m_files.size(); }

private:
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
    std::unordered_set<Key, KeyHash> m_files;
};
