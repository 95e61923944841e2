#include "MainCommands.h"

#include "Launcher.h"
#include "MSG_Func.h"
#include "MusicGrid.h"
#include "ScanControl.h"
#include "UDSCMain.h"

#include <QFile>
#include <QLineEdit>

TMainCommands::TMainCommands(TfrmMain &form)
    : QObject(&form)
    , m_form(form)
    , m_launcher(new TLauncher(this))
{
    connect(m_launcher, &TLauncher::failed, this, &TMainCommands::launchFailed);
}

void TMainCommands::Play()
{
    m_form.edtFind->setFocus();
    PlayFile(m_form.catalogue().SelectedPath(m_form.sgrMusic->Row()));
    m_form.RefreshList(false);
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
    // The playing row is looked for once a light scan has seen what plays now.
    m_form.scanControl().afterScan([this] { showPlayingRow(); });
}

void TMainCommands::showPlayingRow()
{
    const TSongList &songs = m_form.songs();
    const int last = songs.RowCount() - 1;
    for (int r = 1; r <= last; ++r) {
        if (songs.Cells(TSongList::ColSize, r) != QLatin1String("Lock"))
            continue;
        // Each step scrolls its row into view: first three rows below the
        // song, then three above it, then the song itself.
        if (r + 3 < last)
            m_form.sgrMusic->setRow(r + 3);
        if (r - 3 > 1)
            m_form.sgrMusic->setRow(r - 3);
        m_form.sgrMusic->setRow(r);
        m_form.sgrMusic->viewport()->update();
        break;
    }
    m_form.ShowHint();
}
