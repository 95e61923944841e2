#include "FileList.h"

#include "CaseFold.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", dirFd);
    char *real = ::realpath((QByteArray(self) + '/' + name).constData(), nullptr);
    if (!real)
        return;
    const QByteArray path(real);
    std::free(real);
    const QByteArray folder = path.left(std::max<qsizetype>(path.lastIndexOf('/'), 1));
    if (std::find(folders.begin(), folders.end(), folder) == folders.end())
        folders.push_back(folder);
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

bool TFileList::SortEntry::operator<(const SortEntry &other) const
{
    const int c = key.compare(other.key);
    return c != 0 ? c < 0 : raw < other.raw;
}

void TFileList::reread(const QByteArray &folder, int sortedFirst)
{
    std::vector<SortEntry> entries;
    std::vector<QByteArray> linked;
    if (DIR *dir = ::opendir(folder.isEmpty() ? "." : folder.constData())) {
        const int dirFd = ::dirfd(dir);
        while (const dirent *entry = ::readdir(dir)) {
            const size_t length = std::strlen(entry->d_name);
            if (!matchesMask(entry->d_name, length) || !isRegularEntry(dirFd, entry))
                continue;
            if (entry->d_type != DT_REG)
                noteLinkedFolder(dirFd, entry->d_name, linked);
            entries.push_back({ FoldCase(QByteArrayView(entry->d_name, qsizetype(length))),
                QByteArray(entry->d_name, qsizetype(length)) });
        }
        ::closedir(dir);
    }
    const size_t first = std::min(entries.size(), size_t(std::max(sortedFirst, 0)));
    if (first == entries.size())
        std::sort(entries.begin(), entries.end());
    else
        std::partial_sort(entries.begin(), entries.begin() + qsizetype(first), entries.end());

    m_folder = folder;
    m_linkedFolders = std::move(linked);
    m_names.clear();
    m_names.reserve(entries.size());
    for (const SortEntry &e : entries)
        m_names.push_back(e.raw);
    m_sortedCount = int(first);
    m_unsorted.assign(
        std::make_move_iterator(entries.begin() + qsizetype(first)), std::make_move_iterator(entries.end()));
}

void TFileList::finishSort()
{
    std::sort(m_unsorted.begin(), m_unsorted.end());
    for (size_t k = 0; k < m_unsorted.size(); ++k)
        m_names[size_t(m_sortedCount) + k] = std::move(m_unsorted[k].raw);
    m_sortedCount = count();
    m_unsorted.clear();
    m_unsorted.shrink_to_fit();
}
