#pragma once
// TQLXLogFile: shows a text file read-only in a modal viewer (view mode), or
// keeps a log of dated one-line entries of bounded length and shows it newest
// first with a header (log mode). The viewer can print, clear a log, and
// remember its position and size in an INI file.
//
// Log file: one entry per line, oldest first, CR LF line ends, each entry a
// blank, "dd-mm-yyyy", a blank, "hh:nn", a blank and the action text.

#include "TfrmLogFile.h"
#include "UQLXComp.h"

#include <QDateTime>
#include <QFont>
#include <QStringList>

class TQLXLogFile : public TQLXComponent
{
    Q_OBJECT
public:
    // The text the viewer takes from a file: 16 MiB, some 200,000 lines of
    // 80 characters, which the text area shows in about two seconds, and at
    // most 16,384 characters of a line (one line of megabytes would take the
    // text area minutes to lay out). A larger file is shown up to there, a
    // longer line cut there, with the "too large" warning.
    static constexpr qsizetype MaxTextBytes = 16 * 1024 * 1024;
    static constexpr qsizetype MaxLineLength = 16 * 1024;
    static constexpr int DefaultMaxRecords = 250;

    explicit TQLXLogFile(QObject *AOwner = nullptr);
    ~TQLXLogFile() override;

    // Font of the text area and of printing; Courier New 8 points at first.
    QFont Font() const { return m_font; }
    void setFont(const QFont &Value) { m_font = Value; }
    // The viewer's title.
    QString Caption() const { return m_caption; }
    void setCaption(const QString &Value) { m_caption = Value; }

    // Takes a log file, creating it (and its folders) when missing; a name
    // of blanks only, or one that cannot be created, is ignored.
    QString LogFile() const { return m_logFile; }
    void setLogFile(const QString &Value);
    // Takes an existing file to show; a missing one is ignored.
    QString ViewFile() const { return m_viewFile; }
    void setViewFile(const QString &Value);

    // Entries kept; 0 or less stores 250. The log is cut back to this many
    // once it holds more than 1.1 times as many lines.
    int MaxRecords() const { return m_maxRecords; }
    void setMaxRecords(int Value);
    // Newest entry first in the viewer; a change reloads the log.
    bool LogReverse() const { return m_logReverse; }
    void setLogReverse(bool Value);

    // The INI file that remembers the viewer's geometry; empty: not kept.
    QString INIFile;
    bool ShowPrintBtn = true;
    bool ShowClearBtn = true;
    TLogFileNotifyEvent OnPrint;
    TOnHelpEvent OnHelp;
    // The printer Print uses; unset: the system's default printer.
    TPrinterSource PrinterSource;

    // Shows the viewer modally for the current file.
    void Execute();
    // Appends " dd-mm-yyyy hh:nn Action" to the log file; false when it
    // could not be written (no log file, a full disk), which leaves the
    // file and the lines as they were.
    bool AddEntry(const QString &Action);
    // The same for several entries, in order, with one write and one reload.
    bool AddEntries(const QStringList &Actions);
    // The log's line for an entry made at At: " dd-mm-yyyy hh:nn Action".
    static QString EntryLine(const QString &Action, const QDateTime &At);
    // Appends lines made by EntryLine, in order, as AddEntries does: for
    // entries made earlier that a failed write kept back.
    bool AddLines(const QStringList &Lines);
    // Empties the log file and records "Logfile cleared." in it.
    void ClearLog();

    // The lines the viewer shows.
    const QStringList &Lines() const { return m_lines; }
    // False when the file did not fit and the lines hold only its beginning
    // (log mode: the entries shown first).
    bool LinesComplete() const { return m_complete; }
    bool ViewMode() const { return m_viewMode; }
    // INI section of the geometry: "LogFile-"/"ViewFile-" and the
    // component's name, at most 20 characters.
    QString SettingsSection() const { return m_section; }

protected:
    // Reads the log file, cuts it back when too long and rebuilds the lines.
    void LoadLog();
    // Appends one line to the log file and reloads it; false when nothing
    // was appended.
    bool AppendLine(const QString &Line);

private:
    void takeSection(const QString &prefix);
    void readGeometry(TfrmLogFile &form, const QPoint &centred) const;
    void writeGeometry(const TfrmLogFile &form) const;

    QFont m_font;
    QString m_logFile;
    QString m_viewFile;
    QStringList m_lines;
    bool m_complete = true;
    int m_maxRecords = DefaultMaxRecords;
    QString m_caption;
    bool m_viewMode = false;
    QString m_section;
    bool m_logReverse = true;
};
