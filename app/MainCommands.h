#pragma once
// The main window's commands on songs: playing the selected song through the
// desktop's launcher, with a message when that fails, and bringing the song
// being played into view.

#include <QByteArray>
#include <QObject>

#include <functional>

class QLineEdit;
class TCatalogue;
class TLauncher;
class TMusicGrid;
class TScanControl;

class TMainCommands final : public QObject
{
    Q_OBJECT
public:
    // What the commands work with: the window's controls, the catalogue
    // (the selected song's file), the scans, and the status bar's update.
    struct Parts {
        QLineEdit *edtFind;
        TMusicGrid *sgrMusic;
        TCatalogue *catalogue;
        TScanControl *scans;
        std::function<void()> ShowHint;
    };

    TMainCommands(const Parts &parts, QObject *parent);

    // Plays the grid's current song, then runs a light scan.
    void Play();
    // Hands FileName (absolute, raw bytes) to the launcher; a failure shows
    // "Fout: " + its text + a line break + the path in a warning.
    void PlayFile(const QByteArray &FileName);
    // Once a light scan has run: selects the song another program holds
    // open, with up to three rows around it in view; without one only the
    // status bar is brought up to date.
    void ShowCurrent();

    TLauncher &launcher() { return *m_launcher; }

private:
    void launchFailed(const QString &text, const QByteArray &path);
    void showPlayingRow();

    Parts m_parts;
    TLauncher *m_launcher;
};
