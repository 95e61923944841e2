#include "MovesLog.h"

#include "FQLXLogF.h"
#include "ProgramFiles.h"

#include <QFileInfo>

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

QString TMovesLog::record(const std::vector<SongMoves::Move> &moves, bool adding)
{
    if (moves.empty())
        return QString();
    // The summary last: the viewer shows the newest entry on top, above the
    // moves it sums up.
    QStringList entries = SongMoves::LogLines(moves);
    entries.append(SongMoves::StatusText(moves));
    if (!adding)
        m_shown.clear();
    m_shown.insert(m_shown.end(), moves.begin(), moves.end());
    const QString status = SongMoves::StatusText(m_shown);
    iloMoves->setLogFile(m_logPath);
    iloMoves->AddEntries(entries);
    return status;
}

void TMovesLog::show()
{
    if (!QFileInfo(m_logPath).isFile())
        return;
    iloMoves->setLogFile(m_logPath);
    iloMoves->Execute();
}
