// The tags read behind a tree library's scan, put straight into the rows of
// the scan that sent them: what the full scan after them would show, without
// listing the tree, looking at every song and reading every song
// information file again.

#include "Catalogue.h"

#include "CellText.h"
#include "STR_Func.h"

#include <algorithm>

std::optional<QStringList> TCatalogue::showReadTags()
{
    std::shared_ptr<const TagJob> job;
    {
        const std::lock_guard<std::mutex> lock(m_tagsReadLock);
        job = std::move(m_tagsReadJob);
    }
    const std::unique_ptr<TagRows> rows = std::move(m_tagRows);
    const int count = m_files->count();
    // The rows must be those the job was sent from, and nothing else may
    // hold their list: it is put in the new order where it is.
    if (!job || !rows || job->serial != rows->serial || rows->listed.size() != size_t(count)
        || job->entries.size() != size_t(count) || m_indexing.load())
        return std::nullopt;
    waitForIndex();
    if (m_files.use_count() != 1)
        return std::nullopt;
    QStringList errors;
    reportMoves(errors);

    const std::vector<TagCache::Entry> &entries = job->entries;
    std::vector<char> unread(entries.size(), 0);
    for (const int k : job->unread)
        unread[size_t(k)] = 1;
    // Row r showed the song listed at rows->listed[r]; it moves to where
    // the tags put that song.
    std::vector<int> rowOf(entries.size());
    for (int r = 0; r < count; ++r)
        rowOf[size_t(rows->listed[size_t(r)])] = r;
    const std::vector<int> order = TreeOrder(entries);
    std::vector<int> from(order.size());
    for (size_t k = 0; k < order.size(); ++k)
        from[k] = rowOf[size_t(order[k])];
    m_grid.moveRows(from);
    m_files->reorder(from);

    std::vector<qint64> shownSizes(static_cast<size_t>(count));
    std::vector<SongMoves::Stamp> stamps(rows->stamps.empty() ? 0 : size_t(count));
    m_lengths.assign(size_t(count), 0);
    m_artists.clear();
    QString previousArtist;
    for (int k = 0; k < count; ++k) {
        const size_t was = size_t(from[size_t(k)]);
        const TTreeSong &song = entries[size_t(order[size_t(k)])].song;
        const int r = k + 1;
        // Copies made here, together: the strings the reading threads made
        // go back with the job instead of holding their pages.
        putNameCells(r, QString(song.artist.constData(), song.artist.size()),
            QString(song.title.constData(), song.title.size()), previousArtist);
        m_lengths[size_t(k)] = song.lengthMs;
        shownSizes[size_t(k)] = m_shownSizes[was];
        if (!stamps.empty())
            stamps[size_t(k)] = rows->stamps[was];
        if (!unread[size_t(order[size_t(k)])])
            continue;
        // As a full scan fills what the song information leaves empty.
        if (const int width = rows->timeWidth[was]; width >= 0 && song.lengthMs > 0) {
            const QString playTime = StrPadLeft(LengthText(song.lengthMs), QLatin1Char(' '), width);
            m_grid.setCell(TSongList::ColTime, r, CellText::TimeCell(playTime));
            double days = 0;
            if (CellText::ParsePlayTime(StrTrim(playTime), days))
                m_totalTime += days;
        }
        if (!rows->ownYear[was] && song.year > 0)
            m_grid.setCell(TSongList::ColYear, r, QLatin1Char(' ') + QString::number(song.year));
    }
    m_shownSizes = std::move(shownSizes);
    std::vector<int> newRow(static_cast<size_t>(count));
    for (int k = 0; k < count; ++k)
        newRow[size_t(from[size_t(k)])] = k;
    for (std::pair<int, QByteArray> &name : m_infoNames)
        name.first = newRow[size_t(name.first)];
    std::sort(m_infoNames.begin(), m_infoNames.end(),
        [](const std::pair<int, QByteArray> &a, const std::pair<int, QByteArray> &b) {
            return a.first < b.first;
        });
    m_grid.rowsChanged(1, count);
    job.reset();
    if (keepsIndex())
        startIndex(std::move(stamps), {});
    return errors;
}
