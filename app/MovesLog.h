#pragma once
// What the main window says about song information that followed renamed
// songs: after a full scan that moved (or kept) song information files, the
// status bar's text panel says how many, and the moves go, dated, into a log
// beside the settings file, which a double-click on that panel shows (and
// prints) in the log viewer.

#include "SongMoves.h"

#include <QObject>
#include <QString>
#include <QStringList>

class TQLXLogFile;

class TMovesLog final : public QObject
{
    Q_OBJECT
public:
    // Entries the log keeps: a whole folder renamed at once still fits.
    static constexpr int MaxRecords = 5000;

    explicit TMovesLog(QObject *parent = nullptr);

    // The log file (beside the settings file: its name with ".LOG"); the
    // viewer's geometry is remembered in the settings file.
    void setSettingsPath(const QString &settingsPath);
    QString logPath() const { return m_logPath; }

    // Records the moves of a scan in the log (each on a line, then the
    // summary) and returns the status text for them; "" for no moves. With
    // adding, the text counts the moves of the scans before too, since the
    // last record() without it. A log that cannot be written (a full disk)
    // keeps its lines, dated when they were made, for the next record(),
    // with or without moves of its own; the first failure after a write
    // that went well adds "Unable to write to <log>" to errors, the ones
    // after it add nothing.
    QString record(const std::vector<SongMoves::Move> &moves, bool adding, QStringList &errors);
    // Records other entries (songs whose information was filled), each on a
    // line, written as record() writes.
    void recordLines(const QStringList &entries, QStringList &errors);
    // Shows the log, newest entry first; nothing when no move was ever logged.
    void show();

    TQLXLogFile *iloMoves;

private:
    // Writes the lines kept back; the failure's message, or "".
    QString write();
    void keep(const QStringList &entries);
    void writeKept(QStringList &errors);

    QString m_logPath;
    std::vector<SongMoves::Move> m_shown; // what the status text counts
    // Lines not in the log yet, oldest first: no more than the log keeps.
    QStringList m_unwritten;
    bool m_failing = false; // the last write failed and was reported
};
