#include "MovesLog.h"

#include "FQLXLogF.h"
#include "ProgramFiles.h"
#include "QLXError.h"

#include <QDateTime>
#include <QFileInfo>

#include <utility>

TMovesLog::TMovesLog(QObject *parent)
    : QObject(parent)
    , iloMoves(new TQLXLogFile(this))
{
    iloMoves->setObjectName(QStringLiteral("iloMoves"));
    iloMoves->setCaption(QStringLiteral("Song information moved"));
    iloMoves->setMaxRecords(MaxRecords);
}

void TMovesLog::setSettingsPath(const QString &settingsPath)
{
    m_logPath = WithExtension(settingsPath, QStringLiteral(".LOG"));
    iloMoves->INIFile = settingsPath;
}

QString TMovesLog::record(const std::vector<SongMoves::Move> &moves, bool adding, QStringList &errors)
{
    QString status;
    if (!moves.empty()) {
        // The summary last: the viewer shows the newest entry on top, above
        // the moves it sums up.
        QStringList entries = SongMoves::LogLines(moves);
        entries.append(SongMoves::StatusText(moves));
        keep(entries);
        if (!adding)
            m_shown.clear();
        m_shown.insert(m_shown.end(), moves.begin(), moves.end());
        status = SongMoves::StatusText(m_shown);
    }
    writeKept(errors);
    return status;
}

void TMovesLog::recordLines(const QStringList &entries, QStringList &errors)
{
    keep(entries);
    writeKept(errors);
}

void TMovesLog::keep(const QStringList &entries)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const QString &entry : entries)
        m_unwritten.append(TQLXLogFile::EntryLine(entry, now));
    if (m_unwritten.size() > MaxRecords)
        m_unwritten.remove(0, m_unwritten.size() - MaxRecords);
}

void TMovesLog::writeKept(QStringList &errors)
{
    if (m_unwritten.isEmpty())
        return;
    try {
        const QString failure = write();
        if (failure.isEmpty())
            m_failing = false;
        else if (!std::exchange(m_failing, true))
            errors.append(failure);
    } catch (const EQLXError &e) {
        // The lines went in; reading the log back after them did not.
        m_failing = false;
        errors.append(e.message());
    }
}

QString TMovesLog::write()
{
    const QStringList lines = std::exchange(m_unwritten, QStringList());
    try {
        iloMoves->setLogFile(m_logPath);
    } catch (const EQLXError &e) {
        m_unwritten = lines;
        return e.message();
    }
    // A path that can hold no file leaves the log file unset.
    if (iloMoves->LogFile() != m_logPath || !iloMoves->AddLines(lines)) {
        m_unwritten = lines;
        return UnableToWriteText(m_logPath);
    }
    return QString();
}

void TMovesLog::show()
{
    if (!QFileInfo(m_logPath).isFile())
        return;
    iloMoves->setLogFile(m_logPath);
    iloMoves->Execute();
}
