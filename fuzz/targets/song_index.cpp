// The song index (discora.IDX) over any bytes. Input: the file's bytes; the
// music folder is the one its header names, else a fixed one. What is read,
// written again and read again must be the same entries, and writing those
// must give the same bytes.

#include "../FuzzCheck.h"

#include "SongMoves.h"

#include <vector>

namespace
{

bool sameEntries(const std::vector<SongMoves::Entry> &a, const std::vector<SongMoves::Entry> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const SongMoves::Stamp &x = a[i].stamp;
        const SongMoves::Stamp &y = b[i].stamp;
        if (a[i].name != b[i].name || x.dev != y.dev || x.ino != y.ino || x.size != y.size
            || x.modified != y.modified || x.birth != y.birth)
            return false;
    }
    return true;
}

// A name the index may give: a path that stays below the music folder
// (no empty, hidden, "." or ".." component, no NUL), as a tree library's
// songs have.
bool staysBelow(const QByteArray &name)
{
    if (name.isEmpty() || name.contains('\0'))
        return false;
    for (const QByteArray &part : name.split('/'))
        if (part.isEmpty() || part.startsWith('.'))
            return false;
    return true;
}

void roundTrip(const QByteArray &bytes, const QByteArray &folder)
{
    const SongMoves::Index index = SongMoves::Index::Parse(bytes, folder);
    for (const SongMoves::Entry &e : index.entries())
        FUZZ_CHECK(e.stamp.ino != 0 && staysBelow(e.name));
    FUZZ_CHECK(index.entries().empty() || index.bytes() == bytes);
    const QByteArray composed = SongMoves::Index::Compose(folder, index.entries());
    const SongMoves::Index again = SongMoves::Index::Parse(composed, folder);
    FUZZ_CHECK(sameEntries(index.entries(), again.entries()));
    FUZZ_CHECK(SongMoves::Index::Compose(folder, again.entries()) == composed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    roundTrip(bytes, QByteArrayLiteral("/home/me/Music"));
    const QByteArray start = QByteArrayLiteral("Discora song index 2\nfolder ");
    if (bytes.startsWith(start)) {
        const qsizetype end = bytes.indexOf('\n', start.size());
        const QByteArray named = bytes.mid(start.size(), end < 0 ? -1 : end - start.size());
        roundTrip(bytes, QByteArray::fromPercentEncoding(named));
    }
    return 0;
}
