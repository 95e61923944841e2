#pragma once
// The music folder's MP3 files as the scan lists them: regular files (a link
// to a regular file counts) whose name ends in ".mp3" in any letter case,
// dot-files left out, sorted ignoring letter case. The raw name bytes are
// kept, so names that are not valid UTF-8 can still be opened and played.

#include <QByteArray>
#include <QString>
#include <vector>

class TFileList
{
public:
    // Lists folder anew. A folder that is missing or cannot be read lists
    // nothing. Returns true when the list differs from the previous one.
    bool reread(const QByteArray &folder);

    int count() const { return int(m_names.size()); }
    const QByteArray &rawName(int i) const { return m_names[size_t(i)]; }
    // The name as text (bytes that are not UTF-8 show as U+FFFD).
    QString name(int i) const;
    const QByteArray &folder() const { return m_folder; }

    // True when name (raw bytes) matches the "*.mp3" mask.
    static bool matchesMask(const char *name, size_t length);

private:
    QByteArray m_folder;
    std::vector<QByteArray> m_names;
};
