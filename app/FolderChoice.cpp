#include "FolderChoice.h"

#include "Catalogue.h"
#include "LibraryKind.h"
#include "MSG_Func.h"
#include "ProgramSettings.h"
#include "QLXError.h"
#include "ScanControl.h"

#include <QFile>
#include <QFileDialog>

#include <cerrno>
#include <cstring>
#include <dirent.h>

TFolderChoice::TFolderChoice(const Parts &parts, QObject *parent)
    : QObject(parent)
    , m_parts(parts)
{
}

void TFolderChoice::Choose()
{
    const QString start = QFile::decodeName(m_parts.catalogue->musicFolder());
    const QString chosen
        = QFileDialog::getExistingDirectory(m_parts.window, QStringLiteral("Choose the music folder"), start);
    if (chosen.isEmpty())
        return;
    QByteArray folder = QFile::encodeName(chosen);
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    setMusicFolder(folder);
}

void TFolderChoice::setMusicFolder(const QByteArray &folder)
{
    DIR *listing = ::opendir(folder.constData());
    if (!listing)
        throw EQLXError(QStringLiteral("Unable to read %1: %2")
                            .arg(QFile::decodeName(folder), QString::fromLocal8Bit(std::strerror(errno))));
    ::closedir(listing);
    TProgramSettings changed = *m_parts.settings;
    changed.Library = libraryFor(folder);
    changed.LibraryNamed = changed.LibraryNamed || changed.Library == TLibraryKind::Tree;
    if (changed.INI_Directory == changed.Directory)
        changed.INI_Directory = folder;
    changed.Directory = folder;
    changed.writeFolders(*m_parts.settingsPath);
    *m_parts.settings = changed;
    m_parts.scans->setFolders(
        m_parts.settings->Directory, m_parts.settings->INI_Directory, m_parts.settings->Library);
    m_parts.catalogue->playedList() = TPlayedList();
    m_parts.scans->RefreshList(true);
}

TLibraryKind TFolderChoice::libraryFor(const QByteArray &folder) const
{
    // A folder of MP3 files and nothing else is the folder library it always
    // was; songs below it or of other formats are the user's to list or not.
    const LibraryKindCount count = CountLibraryKind(folder);
    if (count.beyondFolder == 0)
        return TLibraryKind::Folder;
    const QString songs = count.capped ? QStringLiteral("%1 or more songs").arg(count.beyondFolder)
        : count.beyondFolder == 1      ? QStringLiteral("1 song")
                                       : QStringLiteral("%1 songs").arg(count.beyondFolder);
    const QString question = QStringLiteral("%1 holds %2 in its subfolders or in other formats than MP3.\r\n"
                                            "List every song below it, with its tags?")
                                 .arg(MsgLiteral(QFile::decodeName(folder)), songs);
    return MsgDialog(question, QString(), mkQuestion, { mbYes, mbNo }, mbYes) == 6 ? TLibraryKind::Tree
                                                                                   : TLibraryKind::Folder;
}
