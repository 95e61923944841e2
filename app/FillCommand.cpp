#include "FillCommand.h"

#include "Catalogue.h"
#include "FileValues.h"
#include "FileWrite.h"
#include "MovesLog.h"
#include "QLXError.h"
#include "ScanControl.h"
#include "ScanResults.h"

#include <QAction>
#include <QProgressDialog>
#include <QWidget>

TFillCommand::TFillCommand(const Parts &parts, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
    , m_action(new QAction(QStringLiteral("&Fill from the song files..."), this))
{
    m_action->setObjectName(QStringLiteral("actFillFromFiles"));
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    m_action->setShortcutContext(Qt::WindowShortcut);
    connect(m_action, &QAction::triggered, this, [this] { run(); });
}

int TFillCommand::run()
{
    TCatalogue &catalogue = *m_parts.catalogue;
    const int count = catalogue.files().count();
    QProgressDialog progress(QStringLiteral("Filling song information from the song files..."),
        QStringLiteral("Cancel"), 0, count, m_parts.window);
    progress.setObjectName(QStringLiteral("dlgFillProgress"));
    progress.setWindowModality(Qt::WindowModal);
    // Shown from the first song on: a modal progress window handles events
    // each time it is set once it shows, so keys (Esc cancels) and repaints
    // are answered between songs from the start rather than after a wait.
    progress.setMinimumDuration(0);
    QStringList written;
    QStringList errors;
    const QDate today = QDate::currentDate();
    for (int row = 1; row <= count; ++row) {
        // A cancel ends it between songs: every file written is whole.
        progress.setValue(row - 1);
        // A full scan may have run meanwhile (the watch saw songs go): the
        // rows left are filled as that scan listed them.
        if (progress.wasCanceled() || row > catalogue.files().count())
            break;
        // As the last full scan found it: no listing of the folder a song.
        const QByteArray info = catalogue.infoPath(row);
        try {
            const QStringList keys = FillSongInfo(info, FileValuesOf(catalogue.SelectedPath(row)), today);
            if (!keys.isEmpty())
                written << QStringLiteral("Filled %1: %2")
                               .arg(DisplayPath(info),
                                   keys.first().isEmpty() ? QStringLiteral("made")
                                                          : keys.join(QStringLiteral(", ")));
        } catch (const EQLXError &e) {
            errors << e.message();
        }
    }
    progress.setValue(count);
    m_parts.log->recordLines(written, errors);
    m_parts.scans->RefreshList(true);
    TScanResults::showErrors(errors);
    return int(written.size());
}
