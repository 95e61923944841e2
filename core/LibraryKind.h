#pragma once
// Which kind of library a music folder calls for. A folder library lists the
// MP3 files of the folder itself; audio files in its subfolders, or of
// another format, are what only a tree library lists.

#include <QByteArray>

struct LibraryKindCount {
    // Songs a tree listing of the folder lists (see TreeWalk.h).
    int songs = 0;
    // Of them, those a folder library leaves out: in a subfolder, or not
    // MP3. Above 0, the folder calls for a tree library.
    int beyondFolder = 0;
    // True when counting stopped at the cap: there may be more songs, and
    // both counts are "at least".
    bool capped = false;
    // Folders that could not be read, whose songs are not counted.
    int unreadableFolders = 0;
};

// Counts the songs below folder, stopping once cap songs are counted, so a
// huge tree answers quickly. An unreadable folder is skipped and a link loop
// ends, as in the listing; a missing folder counts nothing.
LibraryKindCount CountLibraryKind(const QByteArray &folder, int cap = 10000);
