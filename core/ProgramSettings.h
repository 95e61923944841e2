#pragma once
// The program settings file ("discora" -> "discora.INI", beside the program
// or in the user's configuration folder, see ProgramFiles.h): the main
// window's position and the two folders. Read when the main window is
// created, written when it closes.

#include <QByteArray>
#include <QString>
#include <QStringList>

// Which songs a music folder's library lists: the MP3 files of the folder
// itself, named "Artist-Title.mp3" (Folder), or every song below it, of
// every format read, with what its tags say (Tree).
enum class TLibraryKind { Folder, Tree };

struct TProgramSettings {
    static constexpr int DesignTop = 112;
    static constexpr int DesignLeft = 309;

    int Top = DesignTop;
    int Left = DesignLeft;
    // The folders as raw file-name bytes, no trailing "/": a name that is not
    // valid UTF-8 (Latin-1 from an old drive) reaches the file system and the
    // settings file byte for byte.
    QByteArray Directory; // music folder
    QByteArray INI_Directory; // song information folder
    // [MP3] Library: "Tree", else (also when missing) a folder library.
    TLibraryKind Library = TLibraryKind::Folder;
    // The settings file names the kind: it is written back as it was read.
    // A folder library the file does not name leaves the file without the
    // key, as it always was.
    bool LibraryNamed = false;

    // The settings file of the program file programPath: its last extension
    // replaced by ".INI", or ".INI" appended when the name has none.
    static QString PathFor(const QString &programPath);

    // Reads the file (missing keys take their defaults). A Top or Left that
    // is not a whole number keeps its default position and its message is
    // added to errors; the folders are read all the same. A Directory that
    // is missing or empty becomes musicDefault when that is an existing
    // folder; one that is not an existing folder becomes programFolder; an
    // empty INI_Directory becomes the music folder. The folder values are
    // taken as bytes, never decoded. A first run, one that takes musicDefault
    // and whose file does not name the kind, lists a tree library when that
    // folder holds songs only a tree library lists (see CountLibraryKind).
    void read(const QString &settingsPath, const QString &programFolder, QStringList &errors,
        const QString &musicDefault = QString());

    // The music folder for a settings file that names none: for a copy that
    // keeps its files in the user's configuration folder (one installed
    // where only root writes), the user's music folder as the desktop names
    // it (XDG_MUSIC_DIR in user-dirs.dirs, else ~/Music); for a copy that
    // keeps them beside itself, nothing (its own folder then serves).
    static QString MusicDefault(const QString &programPath);
    // Writes Top, Left, Directory and INI_Directory, in that order, each as a
    // single-key change, and Library after them when it is to be written (a
    // tree library, or a kind the file named). Throws EQLXError("Unable to
    // write to <path>").
    void write(const QString &settingsPath) const;
    // Writes Directory and INI_Directory alone (and Library, as write()
    // does), in one replacement of the file. Throws EQLXError("Unable to
    // write to <path>").
    void writeFolders(const QString &settingsPath) const;

private:
    QString libraryValue() const;
};
