#include "FileList.h"

#include <QString>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct SortEntry
{
    QByteArray key; // the name case-folded, as UTF-8
    QByteArray raw;
};

// A key whose byte order is the order of the case-folded names: plain ASCII
// names (nearly all) are folded byte by byte, others through QString. UTF-8
// keeps code point order, so both kinds compare correctly with each other.
QByteArray sortKey(const char *name, size_t length)
{
    QByteArray key(name, qsizetype(length));
    for (char &c : key) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return QString::fromUtf8(name, qsizetype(length)).toCaseFolded().toUtf8();
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    }
    return key;
}

bool isRegularEntry(int dirFd, const dirent *entry)
{
    if (entry->d_type == DT_REG)
        return true;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return false;
    struct stat st;
    return ::fstatat(dirFd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
}

} // namespace

bool TFileList::matchesMask(const char *name, size_t length)
{
    if (length < 4 || name[0] == '.')
        return false;
    const char *ext = name + length - 4;
    return ext[0] == '.' && (ext[1] | 0x20) == 'm' && (ext[2] | 0x20) == 'p' && ext[3] == '3';
}

QString TFileList::name(int i) const
{
    return QString::fromUtf8(m_names[size_t(i)]);
}

bool TFileList::reread(const QByteArray &folder)
{
    std::vector<SortEntry> entries;
    if (DIR *dir = ::opendir(folder.isEmpty() ? "." : folder.constData())) {
        const int dirFd = ::dirfd(dir);
        while (const dirent *entry = ::readdir(dir)) {
            const size_t length = std::strlen(entry->d_name);
            if (!matchesMask(entry->d_name, length) || !isRegularEntry(dirFd, entry))
                continue;
            entries.push_back({sortKey(entry->d_name, length), QByteArray(entry->d_name, qsizetype(length))});
        }
        ::closedir(dir);
    }
    std::sort(entries.begin(), entries.end(), [](const SortEntry &a, const SortEntry &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.raw < b.raw;
    });

    std::vector<QByteArray> names;
    names.reserve(entries.size());
    for (SortEntry &e : entries)
        names.push_back(std::move(e.raw));
    const bool changed = folder != m_folder || names != m_names;
    m_folder = folder;
    m_names = std::move(names);
    return changed;
}
