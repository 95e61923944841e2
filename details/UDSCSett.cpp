#include "UDSCSett.h"

#include "FIL_Func.h"
#include "FQLXLogF.h"
#include "FileValues.h"
#include "FileWrite.h"
#include "ProgramSettings.h"
#include "QLXApplication.h"
#include "QLXError.h"
#include "QLXWindow.h"
#include "SongInfo.h"
#include "UQLXEdit.h"
#include "UQLXStd.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QDate (*TfrmSettings::CurrentDate)() = &QDate::currentDate;

namespace
{

bool fileExists(const QByteArray &path)
{
    struct stat st;
    return ::stat(path.constData(), &st) == 0;
}

// The information file, empty, and any missing folders on its way. The
// name's raw bytes are used as they are, so a name that is not valid UTF-8
// is created under that very name.
void createEmptyInfoFile(const QByteArray &path)
{
    const QByteArray folder = path.left(path.lastIndexOf('/'));
    struct stat st;
    if (!folder.isEmpty() && !(::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        && !QDir().mkpath(QFile::decodeName(folder)))
        throw EQLXError(QStringLiteral("Unable to create directory"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 || ::close(fd) != 0)
        throw EQLXError(UnableToWriteText(DisplayPath(path)));
}

// "/music/Artist-Title.mp3" -> "Artist-Title": no folder, no last extension.
QString baseNameOf(const QByteArray &path)
{
    QByteArray name = path.mid(path.lastIndexOf('/') + 1);
    name.truncate(ExtensionStart(name));
    return DisplayPath(name);
}

} // namespace

TfrmSettings::TfrmSettings(QWidget *parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmSettings"));
    createControls();
}

QPoint TfrmSettings::ClampedPosition(QPoint wanted, QSize outer, const QRect &screen)
{
    int left = wanted.x();
    int top = wanted.y();
    const int right = screen.x() + screen.width();
    const int bottom = screen.y() + screen.height();
    if (left > right - (outer.width() + 16))
        left = right - (outer.width() + 16);
    if (top > bottom - (outer.height() + 80))
        top = bottom - (outer.height() + 80);
    return QPoint(left, top);
}

QString TfrmSettings::ClonePattern(const QString &infoPath)
{
    const qsizetype dash = infoPath.indexOf(QLatin1Char('-'));
    return (dash < 0 ? QString() : infoPath.left(dash + 1)) + QStringLiteral("*.INI");
}

bool TfrmSettings::ShowDetails(const QByteArray &FileName, const QByteArray &IniFolder, int Top, int Left,
    const QString &settingsPath, QWidget *parent, const QByteArray &infoFile)
{
    TfrmSettings dialog(parent);
    // The window manager frames the dialog only once it is shown; the frame
    // of the window it opens from is the best measure of it until then.
    const QWidget *from = parent ? parent->window() : QApplication::activeWindow();
    const QMargins frame = from && from->windowHandle() ? from->windowHandle()->frameMargins() : QMargins();
    const QSize outer = dialog.size().grownBy(frame);
    QScreen *screen = QGuiApplication::screenAt(QPoint(Left, Top));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    dialog.move(ClampedPosition(QPoint(Left, Top), outer, screen->geometry()));
    dialog.open(FileName, IniFolder, settingsPath, infoFile);
    return dialog.exec() == QDialog::Accepted;
}

void TfrmSettings::open(const QByteArray &FileName, const QByteArray &IniFolder, const QString &settingsPath,
    const QByteArray &infoFile)
{
    m_baseName = baseNameOf(FileName);
    setWindowTitle(QStringLiteral("Details for:  ") + m_baseName);
    bxlFilename->setCaption(DisplayPath(FileName));
    m_iniFile = infoFile.isEmpty() ? SongInfo::LocateInfoFile(IniFolder, FileName) : infoFile;
    m_settingsPath = settingsPath.isEmpty()
        ? TProgramSettings::PathFor(QCoreApplication::applicationFilePath())
        : settingsPath;
    QByteArray content;
    // A file that is there but cannot be read must not open as an empty form:
    // Save would then replace the user's details with the blank fields.
    const bool existed = fileExists(m_iniFile);
    if (existed && !ReadWholeFile(m_iniFile, content))
        throw EQLXError(QStringLiteral("Unable to read ") + DisplayPath(m_iniFile));
    showInfo(SongInfo::ReadDetails(content));
    if (!existed)
        createEmptyInfoFile(m_iniFile);
    // Taken once the file exists, so View INI always has the file to show
    // and to print, if only an empty one.
    iloViewer->setViewFile(QFile::decodeName(m_iniFile));
    iloViewer->INIFile = m_settingsPath;
    iloViewer->setCaption(m_baseName);
    memLyrics->setPlainText(SongInfo::ReadLyrics(content).join(QLatin1Char('\n')));
    memLyrics->setFocus();
    offerFileValues(FileName);
}

void TfrmSettings::offerFileValues(const QByteArray &FileName)
{
    const TFileValues values = FileValuesOf(FileName);
    const QString hint = QStringLiteral("From the song's file: Ctrl+T takes it");
    const std::pair<TQLXEdit *, QString> fields[] = { { ediWriter, values.fields.Writer },
        { ediPlaytime, values.fields.Playtime }, { ediAlbumName, values.fields.AlbumName },
        { ediSongYear, values.fields.SongYear }, { ediAlbumYear, values.fields.AlbumYear },
        { ediAlbumCDNum, values.fields.AlbumCDNum }, { ediAlbumLabel, values.fields.AlbumLabel } };
    for (const auto &[edit, value] : fields) {
        edit->setPlaceholderText(value);
        edit->setToolTip(value.isEmpty() ? QString() : hint);
    }
    memLyrics->setPlaceholderText(values.lyrics);
    memLyrics->setToolTip(values.lyrics.isEmpty() ? QString() : hint);
}

void TfrmSettings::takeFileValues()
{
    // Only into empty fields: what the user typed (or the file held) stays.
    for (TQLXEdit *edit :
        { ediWriter, ediPlaytime, ediAlbumName, ediSongYear, ediAlbumYear, ediAlbumCDNum, ediAlbumLabel })
        if (edit->text().isEmpty())
            edit->setText(edit->placeholderText());
    if (memLyrics->toPlainText().isEmpty())
        memLyrics->setPlainText(memLyrics->placeholderText());
}

void TfrmSettings::LoadInfo(const QByteArray &FileName)
{
    showInfo(SongInfo::LoadInfo(FileName));
}

void TfrmSettings::showInfo(const SongInfo::Details &info)
{
    ediWriter->setText(info.Writer);
    ediPlaytime->setText(info.Playtime);
    ediAlbumName->setText(info.AlbumName);
    ediSongYear->setText(info.SongYear);
    ediAlbumYear->setText(info.AlbumYear);
    ediAlbumCDNum->setText(info.AlbumCDNum);
    ediAlbumLabel->setText(info.AlbumLabel);
    bxlCount->setCaption(info.UsageCount);
}

void TfrmSettings::accept()
{
    SongInfo::Details fields;
    fields.Writer = ediWriter->text();
    fields.Playtime = ediPlaytime->text();
    fields.AlbumName = ediAlbumName->text();
    fields.SongYear = ediSongYear->text();
    fields.AlbumYear = ediAlbumYear->text();
    fields.AlbumCDNum = ediAlbumCDNum->text();
    fields.AlbumLabel = ediAlbumLabel->text();
    // The marker is chosen from the text as typed, its lines joined with
    // CR LF; the lines lose their trailing blanks only in the file.
    const QString lyrics = memLyrics->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    try {
        SongInfo::WriteSongInfo(m_iniFile, bxlCount->Caption(), fields, lyrics, CurrentDate());
    } catch (const EQLXError &e) {
        // The old file is whole and the edits are still here: the user can
        // fix the cause and save again, or cancel.
        TQLXApplication::ShowExceptionNow(e.message());
        return;
    }
    QDialog::accept();
}

void TfrmSettings::bbtCloneClick()
{
    // The dialog lists the song information folder, first only the files
    // of the same artist (the name up to its first "-"), with all INI files
    // one choice away. A "-" in the folder's own path cuts the pattern
    // there; it then names no file of this folder, so the dialog stays in
    // the folder and lists every INI file rather than move elsewhere.
    const QString folder = QFile::decodeName(m_iniFile.left(m_iniFile.lastIndexOf('/')));
    const QString pattern = ClonePattern(DisplayPath(m_iniFile));
    const qsizetype slash = pattern.lastIndexOf(QLatin1Char('/'));
    QStringList filters;
    // The file dialog takes a blank as the end of a pattern; "?" stands in
    // for it, so that "Aurora Bay-*.INI" lists that artist's files.
    if (slash >= 0 && pattern.left(slash) == folder)
        filters << pattern.mid(slash + 1).replace(QLatin1Char(' '), QLatin1Char('?'));
    filters << QStringLiteral("INI-files (*.INI)");
    OpenDialog1->setNameFilters(filters);
    OpenDialog1->setDirectory(folder);
    const bool picked = OpenDialog1->exec() == QDialog::Accepted;
    // A name completed in the file dialog and taken with Enter leaves the
    // completion list open: it would keep the keyboard and hand the next key
    // to the hidden dialog. Whatever popup is still up belongs to the dialog
    // that is gone; the keyboard comes back here.
    for (int i = 0; i < 8 && QApplication::activePopupWidget(); ++i)
        QApplication::activePopupWidget()->hide();
    activateWindow();
    if (!picked || OpenDialog1->selectedFiles().isEmpty())
        return;
    LoadInfo(QFile::encodeName(OpenDialog1->selectedFiles().constFirst()));
}

void TfrmSettings::bbtINIClick()
{
    // The file as stored, not the edits in the dialog. A file that can no
    // longer be read is told in the error box; the dialog stays open.
    ShowingErrors([this] { iloViewer->Execute(); });
}

void TfrmSettings::createControls()
{
    setFixedSize(ClientWidth, ClientHeight);
    setFont(ArialFont(13));
    setWindowTitle(QStringLiteral("Details"));

    // Named as the main window's statistics viewer: both keep one position
    // and size in the settings file.
    iloViewer = new TQLXLogFile(this);
    iloViewer->setObjectName(QStringLiteral("iloViewer"));
    iloViewer->setFont(FixedPitchFont(11));
    iloViewer->ShowClearBtn = false;
    iloViewer->setLogReverse(false);
    iloViewer->setMaxRecords(250);
    iloViewer->setCaption(QStringLiteral("INI-File viewer"));

    auto label = [this](const char *name, const char *text, int left, int top) {
        auto *l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(QString::fromLatin1(name));
        l->move(left, top);
        l->adjustSize();
        return l;
    };
    auto edit = [this](const char *name, QLabel *caption, int left, int top, int width) {
        auto *e = new TQLXEdit(this); // Enter and Down: next field, Up: previous
        e->setObjectName(QString::fromLatin1(name));
        e->setGeometry(left, top, width, 24);
        e->setAccessibleName(caption->text());
        caption->setBuddy(e);
        return e;
    };
    auto button = [this](const char *name, const char *text, const char *hint, int left) {
        auto *b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, 312, 75, 25);
        b->setToolTip(QString::fromLatin1(hint));
        b->setAccessibleDescription(b->toolTip());
        // Enter in a field moves on; it never saves or cancels the dialog.
        b->setAutoDefault(false);
        return b;
    };
    auto boxLabel = [this](const char *name, QLabel *caption, int left, int top, int width, int height) {
        auto *b = new TBoxLabel(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(left, top, width, height);
        b->setFont(ArialFont(13));
        b->setAccessibleDescription(caption->text());
        return b;
    };

    lblWriter = label("lblWriter", "Songwriter", 8, 8);
    lblPlaytime = label("lblPlaytime", "Playtime", 8, 56);
    lblAlbumName = label("lblAlbumName", "Album Name", 8, 104);
    lblSongYear = label("lblSongYear", "Song Year", 104, 56);
    lblAlbumYear = label("lblAlbumYear", "Album Year", 200, 56);
    lblAlbumCDNum = label("lblAlbumCDNum", "Album Barcode", 8, 152);
    lblAlbumLabel = label("lblAlbumLabel", "Album Label", 8, 200);
    lblFilename = label("lblFilename", "File Name", 8, 248);
    ediWriter = edit("ediWriter", lblWriter, 8, 24, 353);
    ediPlaytime = edit("ediPlaytime", lblPlaytime, 8, 72, 73);
    ediAlbumName = edit("ediAlbumName", lblAlbumName, 8, 120, 353);
    ediSongYear = edit("ediSongYear", lblSongYear, 104, 72, 73);
    ediAlbumYear = edit("ediAlbumYear", lblAlbumYear, 200, 72, 73);
    ediAlbumCDNum = edit("ediAlbumCDNum", lblAlbumCDNum, 8, 168, 353);
    ediAlbumLabel = edit("ediAlbumLabel", lblAlbumLabel, 8, 216, 353);
    bxlFilename = boxLabel("bxlFilename", lblFilename, 8, 264, 353, 22);
    // A path is shown as it is: an "&" in it is no mnemonic.
    bxlFilename->setShowAccelChar(false);
    bbtCancel = button("bbtCancel", "&Cancel", "Cancel any changes, and close this window.", 208);
    bbtOk = button("bbtOk", "&Save", "Save any changes, and close this window.", 288);
    lblLyrics = label("lblLyrics", "Lyrics", 384, 8);
    memLyrics = new QPlainTextEdit(this);
    memLyrics->setObjectName(QStringLiteral("memLyrics"));
    memLyrics->setGeometry(384, 24, 353, 313);
    memLyrics->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLyrics->setTabChangesFocus(false); // a tab is typed into the lyrics
    memLyrics->setAccessibleName(lblLyrics->text());
    lblLyrics->setBuddy(memLyrics);
    bbtClone = button("bbtClone", "C&lone...", "Use an other file as an example.", 8);
    lblCount = label("lblCount", "Usage Count", 288, 56);
    bxlCount = boxLabel("bxlCount", lblCount, 288, 72, 73, 24);
    bbtINI = button("bbtINI", "&View INI", "View the INI-file with all data.", 88);

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    OpenDialog1->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog1->setFileMode(QFileDialog::ExistingFile);
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setDefaultSuffix(QStringLiteral("INI"));
    OpenDialog1->setNameFilter(QStringLiteral("INI-files (*.INI)"));

    connect(bbtOk, &QPushButton::clicked, this, &TfrmSettings::accept);
    connect(bbtCancel, &QPushButton::clicked, this, &TfrmSettings::reject);
    connect(bbtClone, &QPushButton::clicked, this, &TfrmSettings::bbtCloneClick);
    // No control of its own (the designed ones keep their places): a key,
    // and the dialog's context menu for the mouse.
    actTakeFileValues = new QAction(QStringLiteral("&Take the values of the song's file"), this);
    actTakeFileValues->setObjectName(QStringLiteral("actTakeFileValues"));
    actTakeFileValues->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    actTakeFileValues->setShortcutContext(Qt::WindowShortcut);
    addAction(actTakeFileValues);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(actTakeFileValues, &QAction::triggered, this, &TfrmSettings::takeFileValues);
    connect(bbtINI, &QPushButton::clicked, this, &TfrmSettings::bbtINIClick);
    // Enter on a focused button presses it; in a field it moves on.
    EnterPressesFocusedButton(this);

    QWidget *order[] = { ediWriter, ediPlaytime, ediSongYear, ediAlbumYear, ediAlbumName, ediAlbumCDNum,
        ediAlbumLabel, memLyrics, bbtClone, bbtINI, bbtCancel, bbtOk };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    for (QWidget *child : findChildren<QWidget *>())
        if (!child->toolTip().isEmpty())
            child->setToolTipDuration(5000);
}
