#pragma once
// The song details dialog: one song's information file as a form. Save
// writes the whole file anew; Cancel (or Esc) writes nothing. Clone fills the
// fields from another song's file, View INI shows the file as stored.

#include "SongInfo.h"

#include <QByteArray>
#include <QDate>
#include <QDialog>
#include <QPoint>
#include <QRect>
#include <QSize>

class QAction;
class QFileDialog;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TBoxLabel;
class TQLXEdit;
class TQLXLogFile;

class TfrmSettings final : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 745;
    static constexpr int ClientHeight = 345;

    // Shows the details of the MP3 file FileName (full path, raw file-name
    // bytes) whose information file lies in IniFolder, with the dialog's
    // top-left corner at (Left, Top) pulled inside the screen. A missing
    // information file is created empty first, with any missing folders.
    // settingsPath is the program settings file that remembers the viewer's
    // geometry (empty: the one beside the program). Returns true when the
    // user saved. Throws EQLXError when the information file can be neither
    // found nor created; the dialog is not shown then.
    // infoFile, when given, is the song's information file itself (a song
    // in a subfolder of a tree library), not looked up in IniFolder.
    static bool ShowDetails(const QByteArray &FileName, const QByteArray &IniFolder, int Top, int Left,
        const QString &settingsPath = QString(), QWidget *parent = nullptr, const QByteArray &infoFile = {});

    // Where a window of outer size outer wanted at wanted is put on screen:
    // its right edge kept 16 pixels and its bottom edge 80 pixels inside.
    // Nothing keeps the result from going negative on a very small screen.
    static QPoint ClampedPosition(QPoint wanted, QSize outer, const QRect &screen);
    // The file-name pattern Clone proposes: infoPath up to and including its
    // first "-", then "*.INI"; just "*.INI" when infoPath has no "-".
    static QString ClonePattern(const QString &infoPath);
    // Today's date for the file's date line; replaceable for tests.
    static QDate (*CurrentDate)();

    // Reads the Info values of the information file FileName (raw bytes)
    // into the seven fields and the usage count; the lyrics stay.
    void LoadInfo(const QByteArray &FileName);

    // The controls; each one's object name is its member name.
    TQLXLogFile *iloViewer; // View INI
    QLabel *lblWriter, *lblPlaytime, *lblAlbumName, *lblSongYear, *lblAlbumYear, *lblAlbumCDNum,
        *lblAlbumLabel, *lblFilename;
    TQLXEdit *ediWriter, *ediPlaytime, *ediAlbumName, *ediSongYear, *ediAlbumYear, *ediAlbumCDNum,
        *ediAlbumLabel;
    TBoxLabel *bxlFilename;
    QPushButton *bbtCancel, *bbtOk;
    QLabel *lblLyrics;
    QPlainTextEdit *memLyrics;
    QPushButton *bbtClone;
    QFileDialog *OpenDialog1;
    TBoxLabel *bxlCount;
    QLabel *lblCount;
    QPushButton *bbtINI;
    // Takes what the song's file holds into the fields that are empty
    // (Ctrl+T, and the dialog's context menu); each such field shows the
    // value as its placeholder until then.
    QAction *actTakeFileValues;

public Q_SLOTS:
    // Save: writes the file and closes with OK. A file that cannot be
    // written shows the error box and keeps the dialog open with the edits.
    void accept() override;

private:
    explicit TfrmSettings(QWidget *parent);
    void createControls();
    void open(const QByteArray &FileName, const QByteArray &IniFolder, const QString &settingsPath,
        const QByteArray &infoFile);
    void offerFileValues(const QByteArray &FileName);
    void takeFileValues();
    void bbtCloneClick();
    void bbtINIClick();
    void showInfo(const SongInfo::Details &info);

    QByteArray m_iniFile; // the song information file being edited
    QString m_settingsPath;
    QString m_baseName;
};
