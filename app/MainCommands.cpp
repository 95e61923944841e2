#include "MainCommands.h"

#include "Catalogue.h"
#include "Launcher.h"
#include "MSG_Func.h"
#include "MusicGrid.h"
#include "ScanControl.h"

#include <QFile>
#include <QLineEdit>

TMainCommands::TMainCommands(const Parts &parts, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
    , m_launcher(new TLauncher(this))
{
    connect(m_launcher, &TLauncher::failed, this, &TMainCommands::launchFailed);
}

void TMainCommands::Play()
{
    m_parts.edtFind->setFocus();
    PlayFile(m_parts.catalogue->SelectedPath(m_parts.sgrMusic->Row()));
    m_parts.scans->RefreshList(false);
}

void TMainCommands::PlayFile(const QByteArray &FileName)
{
    m_launcher->open(FileName);
}

void TMainCommands::launchFailed(const QString &text, const QByteArray &path)
{
    // The system's text and the path are shown as they are, "&" and all.
    MsgWarning(QStringLiteral("Fout: ") + MsgLiteral(text) + QStringLiteral("\r\n")
            + MsgLiteral(QFile::decodeName(path)),
        QString());
}

void TMainCommands::ShowCurrent()
{
    // The playing row is looked for once a light scan has seen what plays
    // now; when that scan saw a song just opened, the one that confirms it
    // (a second later) decides.
    m_parts.scans->afterScan([this] {
        if (m_parts.scans->confirmationDue())
            m_parts.scans->afterScan([this] { showPlayingRow(); }, false);
        else
            showPlayingRow();
    });
}

void TMainCommands::showPlayingRow()
{
    const TSongList &songs = m_parts.catalogue->grid();
    const int last = songs.RowCount() - 1;
    for (int r = 1; r <= last; ++r) {
        if (songs.Cells(TSongList::ColSize, r) != QLatin1String("Lock"))
            continue;
        // Each step scrolls its row into view: first three rows below the
        // song, then three above it, then the song itself.
        if (r + 3 < last)
            m_parts.sgrMusic->setRow(r + 3);
        if (r - 3 > 1)
            m_parts.sgrMusic->setRow(r - 3);
        m_parts.sgrMusic->setRow(r);
        m_parts.sgrMusic->viewport()->update();
        break;
    }
    m_parts.ShowHint();
}
