#pragma once
// The main window's choice of the music folder ("F&older..."): the folder
// chosen is the music folder at once. One that holds songs in subfolders or
// of other formats than MP3 asks first whether to list every song below it
// (a tree library) or its MP3 files alone; the answer is kept with the
// folder. The song information folder follows
// it when it was the old music folder, the settings file is written straight
// away, the played list starts anew, the folder watch turns to the new folder
// and a full scan shows its songs.

#include <QByteArray>
#include <QObject>

class QWidget;
class TCatalogue;
class TProgramSettings;
class TScanControl;
enum class TLibraryKind;

class TFolderChoice final : public QObject
{
    Q_OBJECT
public:
    // What the choice works with: the window (the chooser's parent), the
    // settings and their file (its path is known once the window has read
    // them), the catalogue and the scans.
    struct Parts {
        QWidget *window;
        const QString *settingsPath;
        TProgramSettings *settings;
        TCatalogue *catalogue;
        TScanControl *scans;
    };

    TFolderChoice(const Parts &parts, QObject *parent);

    // Asks for another music folder, starting in the current one; a choice
    // goes to setMusicFolder, a cancel changes nothing.
    void Choose();
    // Makes folder (raw bytes, no trailing "/") the music folder. A folder
    // that cannot be listed throws EQLXError and nothing changes; so does a
    // settings file that cannot be written.
    void setMusicFolder(const QByteArray &folder);

private:
    TLibraryKind libraryFor(const QByteArray &folder) const;

    Parts m_parts;
};
