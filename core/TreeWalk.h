#pragma once
// The songs below a music folder, found the way a tree library lists them:
// regular files (a link to a regular file counts) whose name carries an audio
// extension, in every folder below. Hidden files and folders (dot-names) are
// left out; folders reached through links are followed, but each folder
// (device and inode) is entered once, so a link loop ends and a second path
// to a folder (a link, a bind mount) lists nothing twice.

#include <QByteArray>
#include <QByteArrayView>

#include <functional>
#include <vector>

struct TreeSong {
    // The song's folder as a path below the walked folder ("Artist/Album",
    // raw bytes, no "/" at either end; empty for the walked folder itself)
    // and the song's own name.
    QByteArrayView folder;
    QByteArrayView name;
};

struct TreeWalkResult {
    // Folders that could not be opened or read (no permission, a path too
    // long); their songs are missing. A missing walked folder counts none.
    int unreadableFolders = 0;
    // True when the visitor asked to stop before the walk was done.
    bool stopped = false;
    // The real folders outside the walked one that listed songs lie in,
    // through a link to a folder or to a file (other programs hold those
    // files under those paths); only gathered when asked for.
    std::vector<QByteArray> linkedFolders;
};

// Walks folder ("" = the current folder), calling song for each song found,
// in no particular order, until it returns false. A folder is reached by its
// path without links when there is one: folders behind links are entered
// after every other, in the byte order of their paths. Each folder costs an
// open, a stat and the reads of its entries; a file only when the folder
// does not tell its type or it is a link.
TreeWalkResult WalkTree(
    const QByteArray &folder, const std::function<bool(const TreeSong &)> &song, bool noteLinkedFolders);
// The same walk, calling enter for each folder as it is entered (once, by
// the rule above), before its entries are read: its path below folder (""
// for folder itself) and the folder open as fd, valid during the call. When
// enter returns false the folder is not listed, nor anything below it that
// is reached through it.
TreeWalkResult WalkTree(const QByteArray &folder, const std::function<bool(const TreeSong &)> &song,
    bool noteLinkedFolders, const std::function<bool(QByteArrayView path, int fd)> &enter);
