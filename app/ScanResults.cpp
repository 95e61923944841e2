#include "ScanResults.h"

#include "Catalogue.h"
#include "MainStatus.h"
#include "MovesLog.h"
#include "QLXApplication.h"
#include "UQLXStd.h"

#include <QComboBox>
#include <QStringListModel>

#ifdef __GLIBC__
#include <malloc.h>
#endif

TScanResults::TScanResults(const Parts &parts, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
{
}

void TScanResults::scanEnded(bool full, const QStringList &scanErrors)
{
    QStringList errors = scanErrors;
    // Still showing what the scan before moved (a burst of renames takes a
    // few scans): the text goes on counting.
    const bool movesShown = m_parts.status->movesShown();
    if (full) {
        TCatalogue &catalogue = *m_parts.catalogue;
        static_cast<QStringListModel *>(m_parts.cbxArtist->model())->setStringList(catalogue.artistList());
        m_parts.bxlTime->setCaption(catalogue.timeCaption());
        m_parts.bxlSize->setCaption(catalogue.sizeCaption());
        m_parts.status->rowsChanged(); // the number of songs in the status bar
        // A log that cannot be written says so once, until it can again.
        const QString moved = m_parts.movesLog->record(catalogue.takeMoves(), movesShown, errors);
        m_parts.status->showMoves(moved, movesShown);
        // A tree library skips the folders it cannot read: it says how many.
        if (const int unreadable = catalogue.files().unreadableFolders(); unreadable > 0 && moved.isEmpty())
            m_parts.status->showNote(unreadable == 1
                    ? QStringLiteral("1 folder below the music folder could not be read")
                    : QStringLiteral("%1 folders below the music folder could not be read").arg(unreadable));
#ifdef __GLIBC__
        // A full scan of a large folder frees as much as it keeps (sort
        // keys, what its reader threads read); hand it back now rather
        // than hold it for the rest of the run. Where the index is kept,
        // its thread does that behind the scan, once it is done with it
        // too, and the window is not kept waiting.
        if (!catalogue.keepsIndex())
            ::malloc_trim(0);
#endif
    }
    showErrors(errors);
}

QString TScanResults::errorsText(const QStringList &errors)
{
    QStringList lines;
    for (int i = 0; i < errors.size() && i < MaxShown; ++i)
        lines.append(TQLXApplication::ErrorText(errors[i]));
    if (errors.size() > MaxShown)
        lines.append(QStringLiteral("(%1 more)").arg(errors.size() - MaxShown));
    return lines.join(QLatin1Char('\n'));
}

void TScanResults::showErrors(const QStringList &errors)
{
    if (!errors.isEmpty())
        TQLXApplication::ShowException(errorsText(errors));
}
