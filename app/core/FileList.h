#pragma once
// The music folder's MP3 files as the scan lists them: regular files (a link
// to a regular file counts) whose name ends in ".mp3" in any letter case,
// dot-files left out, sorted ignoring letter case. The raw name bytes are
// kept, so names that are not valid UTF-8 can still be opened and played.

#include <QByteArray>
#include <QString>
#include <limits>
#include <vector>

class TFileList
{
public:
    // Lists folder anew. A folder that is missing or cannot be read lists
    // nothing. Only the first sortedFirst names are put in order at once (a
    // large folder can show its first rows sooner); finishSort() orders the
    // rest.
    void reread(const QByteArray &folder, int sortedFirst = std::numeric_limits<int>::max());
    void finishSort();
    // How many names, from the first, are in their final order.
    int sortedCount() const { return m_sortedCount; }

    int count() const { return int(m_names.size()); }
    const QByteArray &rawName(int i) const { return m_names[size_t(i)]; }
    // The name as text (bytes that are not UTF-8 show as U+FFFD).
    QString name(int i) const;
    const QByteArray &folder() const { return m_folder; }

    // The real folders of the files that listed names link to outside the
    // folder itself (other programs hold those files under those paths).
    const std::vector<QByteArray> &linkedFolders() const { return m_linkedFolders; }

    // True when name (raw bytes) matches the "*.mp3" mask.
    static bool matchesMask(const char *name, size_t length);

private:
    struct SortEntry {
        QByteArray key; // the name case-folded, as UTF-8
        QByteArray raw;
        bool operator<(const SortEntry &other) const;
    };
    QByteArray m_folder;
    std::vector<QByteArray> m_names;
    std::vector<SortEntry> m_unsorted; // the names past m_sortedCount, with their keys
    int m_sortedCount = 0;
    std::vector<QByteArray> m_linkedFolders;
};
