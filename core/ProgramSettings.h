#pragma once
// The program settings file ("discora" -> "discora.INI", beside the program
// or in the user's configuration folder, see ProgramFiles.h): the main
// window's position and the two folders. Read when the main window is
// created, written when it closes.

#include <QByteArray>
#include <QString>
#include <QStringList>

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

    // The settings file of the program file programPath: its last extension
    // replaced by ".INI", or ".INI" appended when the name has none.
    static QString PathFor(const QString &programPath);

    // Reads the file (missing keys take their defaults). A Top or Left that
    // is not a whole number keeps its default position and its message is
    // added to errors; the folders are read all the same. A Directory that
    // is not an existing folder becomes programFolder; an empty
    // INI_Directory becomes the music folder. The folder values are taken
    // as bytes, never decoded.
    void read(const QString &settingsPath, const QString &programFolder, QStringList &errors);
    // Writes Top, Left, Directory and INI_Directory, in that order, each as a
    // single-key change. Throws EQLXError("Unable to write to <path>").
    void write(const QString &settingsPath) const;
};
