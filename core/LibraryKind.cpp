#include "LibraryKind.h"

#include "FileList.h"
#include "TreeWalk.h"

LibraryKindCount CountLibraryKind(const QByteArray &folder, int cap)
{
    LibraryKindCount count;
    if (cap <= 0)
        return count;
    const TreeWalkResult walk = WalkTree(
        folder,
        [&count, cap](const TreeSong &song) {
            ++count.songs;
            if (!song.folder.isEmpty() || !TFileList::matchesMask(song.name.data(), size_t(song.name.size())))
                ++count.beyondFolder;
            return count.songs < cap;
        },
        false);
    count.capped = walk.stopped;
    count.unreadableFolders = walk.unreadableFolders;
    return count;
}
