#include "FileValues.h"

#include "FileWrite.h"
#include "LrcLyrics.h"
#include "QLXError.h"
#include "SongTags.h"
#include "TreeSongs.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

TFileValues FileValuesOf(const QByteArray &songPath)
{
    const SongTags tags = ReadSongTags(songPath);
    TFileValues values;
    SongInfo::Details &f = values.fields;
    const auto year = [](int y) { return y > 0 ? QString::number(y) : QString(); };
    f.Playtime = LengthText(tags.lengthMs);
    f.SongYear = year(tags.year);
    f.AlbumYear = year(tags.albumYear());
    f.AlbumName = tags.album;
    f.Writer = tags.composer.isEmpty() ? tags.lyricist : tags.composer;
    f.AlbumLabel = tags.label;
    f.AlbumCDNum = tags.barcode;
    values.lyrics = tags.lyrics;
    if (values.lyrics.isEmpty()) {
        const QByteArray lrc = LrcPathFor(songPath);
        QByteArray bytes;
        if (!lrc.isEmpty() && ReadWholeFile(lrc, bytes))
            values.lyrics = LrcLyrics(bytes);
    }
    return values;
}

QStringList FillSongInfo(const QByteArray &infoPath, const TFileValues &values, const QDate &today)
{
    QString lyrics = values.lyrics;
    lyrics.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    // A missing file, or the empty one the details dialog leaves when it
    // opens and is cancelled, is made whole in the dialog's layout.
    struct stat st;
    if (::stat(infoPath.constData(), &st) != 0 || (S_ISREG(st.st_mode) && st.st_size == 0)) {
        const QString folder = QFileInfo(QFile::decodeName(infoPath)).absolutePath();
        if (!QDir().mkpath(folder))
            throw EQLXError(QStringLiteral("Unable to write to ") + DisplayPath(infoPath));
        SongInfo::WriteSongInfo(infoPath, QString(), values.fields, lyrics, today);
        return { QString() };
    }
    QByteArray content;
    if (!ReadFileForUpdate(infoPath, content))
        throw EQLXError(QStringLiteral("Unable to write to ") + DisplayPath(infoPath));
    const SongInfo::Details now = SongInfo::ReadDetails(content);
    const SongInfo::Details &file = values.fields;
    const std::tuple<const char *, const QString &, const QString &> keys[]
        = { { "Writer", now.Writer, file.Writer }, { "Playtime", now.Playtime, file.Playtime },
              { "AlbumName", now.AlbumName, file.AlbumName }, { "SongYear", now.SongYear, file.SongYear },
              { "AlbumYear", now.AlbumYear, file.AlbumYear },
              { "AlbumCDNum", now.AlbumCDNum, file.AlbumCDNum },
              { "AlbumLabel", now.AlbumLabel, file.AlbumLabel } };
    QList<std::pair<QString, QString>> changes;
    QStringList written;
    for (const auto &[key, there, value] : keys) {
        if (!there.trimmed().isEmpty() || value.isEmpty())
            continue;
        changes.append({ QString::fromLatin1(key), value });
        written << QString::fromLatin1(key);
    }
    // The keys first: the lyrics' marker then follows every key line, as
    // in the dialog's layout. Both go to disk in one replacement.
    QByteArray changed = changes.isEmpty() ? content : SongInfo::WithInfoKeys(content, changes);
    const qsizetype keysOnly = changed.size();
    changed = SongInfo::WithLyrics(changed, lyrics);
    if (changed.size() != keysOnly)
        written << QStringLiteral("Lyrics");
    if (!written.isEmpty())
        WriteFileAtomic(infoPath, changed);
    return written;
}
