#pragma once
// The main window: the song grid with its totals, the search controls, the
// tool bar and the status bar. It reads the program settings when created,
// scans the music folder when first activated, keeps the list current on
// activation, deactivation, a one-minute timer and, within about a second,
// whenever a song of the music folder is opened or closed by any program,
// and writes the settings when it closes.

#include "Catalogue.h"
#include "ProgramSettings.h"
#include "SongList.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTimer;
class QToolButton;
class QFrame;
class TAboutDialog;
class TBoxLabel;
class TFolderWatch;
class TScanControl;
class TMusicGrid;
class TQLXLogFile;
class TStatusBar;
class TMainCommands;
class TMainSearch;
class TFillCommand;
class TMovesLog;
class TMainStatus;
class TFolderChoice;
class TScanResults;

class TfrmMain final : public QWidget
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 681;
    static constexpr int ClientHeight = 416;
    static const QString ProgName; // "Discora"

    // settingsPath empty: the settings file beside the program.
    explicit TfrmMain(const QString &settingsPath = QString(), QWidget *parent = nullptr);
    ~TfrmMain() override;

    QString AppTitle;
    bool FirstActivation = true;

    // Makes folder (raw bytes, no trailing "/") the music folder (see
    // TFolderChoice): the song information folder follows it when it was the
    // old music folder, the settings file is written at once, and a full scan
    // of it runs with the played list started anew. A folder that cannot be
    // listed throws EQLXError and nothing changes; so does a settings file
    // that cannot be written.
    void setMusicFolder(const QByteArray &folder);

    // Runs a full or light scan of the music folder (see TScanControl): a
    // light scan's results come in once its probe, on another thread, is
    // done. A scan asked for while one is running is not run inside it: a
    // full scan runs after it, a light scan is dropped (the running one does
    // its work).
    void RefreshList(bool full);
    // The one click handler of the tool bar, the find and Current buttons
    // and the grid's double-click: runs the command of Sender.
    void ButtonsClick(QObject *Sender);
    // ButtonsClick for a control's signal: a failure goes to the error box.
    void Clicked(QObject *Sender);

    // Search (see TMainSearch).
    void FindNext();
    void ResetFind();
    // Hands FileName (absolute, raw bytes) to the player (see TMainCommands).
    void PlayFile(const QByteArray &FileName);
    void ShowCurrent();
    TMainSearch &search() { return *m_search; }
    TMainCommands &commands() { return *m_commands; }

    const QString &settingsPath() const { return m_settingsPath; }
    const TProgramSettings &settings() const { return m_settings; }
    TCatalogue &catalogue() { return m_catalogue; }
    TSongList &songs() { return m_songs; }
    // How often the form-level activation handlers ran (for tests).
    int activations() const { return m_activations; }
    int deactivations() const { return m_deactivations; }
    bool isScanning() const;
    // No scan runs, and the index of the last full scan is matched (and a
    // full scan that shows what it moved has run).
    bool isSettled() const;
    // How many scans ran (a request dropped inside a running scan is not one).
    int scans() const;
    // Watches the music folder for songs being opened and closed.
    TFolderWatch *folderWatch() const;
    // Runs the scans (see TScanControl).
    TScanControl &scanControl() { return *m_scan; }

    // The window's controls.
    QWidget *pnlSpaceBar;
    QFrame *tlbButtons;
    QToolButton *spbExit, *spbRefresh, *spbAbout, *spbPlay, *spbDetails, *spbStats, *spbFolder;
    TMusicGrid *sgrMusic;
    QLineEdit *edtFind;
    QPushButton *bbtFind;
    TBoxLabel *bxlTime, *bxlSize;
    QComboBox *cbxArtist;
    QPushButton *bbtCurrent;
    TStatusBar *stbStatus;
    QTimer *tmrRefresh;
    TQLXLogFile *iloViewer; // shows the statistics report
    // The log of song information that followed renamed songs.
    TMovesLog *movesLog() const { return m_movesLog; }
    TFillCommand *fillCommand() const { return m_fill; }
    TAboutDialog *adlInfo;

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void FormActivate();
    void FormDeactivate();
    void FormClose();
    void MusicMouseDown(Qt::MouseButton button);
    void ShowDetails();
    void ShowStatistics();

    void createControls(); // in MainControls.cpp, with the next two
    void createAboutDialog();
    void createScanControl();
    void createFillCommand();
    QToolButton *createToolButton(
        const QString &name, const QString &caption, const QString &hint, int left, int iconKind);
    void scanEnded(bool full, const QStringList &errors);

    QString m_settingsPath;
    TProgramSettings m_settings;
    TSongList m_songs;
    TCatalogue m_catalogue;
    TScanControl *m_scan = nullptr;
    TMainSearch *m_search = nullptr;
    TMainCommands *m_commands = nullptr;
    TMovesLog *m_movesLog = nullptr;
    TFillCommand *m_fill = nullptr;
    TMainStatus *m_status = nullptr;
    TFolderChoice *m_folderChoice = nullptr;
    TScanResults *m_scanResults = nullptr;
    bool m_closeRequested = false;
    int m_activations = 0;
    int m_deactivations = 0;
};
