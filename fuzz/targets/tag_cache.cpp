// The tag cache (discora.TAG) over any bytes. What is read, written and read
// again must be the same entries, and writing those must give the same bytes.

#include "../FuzzCheck.h"

#include "TagCache.h"

#include <algorithm>
#include <vector>

namespace
{

void compose(
    const TagCache::Entries &entries, std::vector<QByteArray> &paths, std::vector<TagCache::Entry> &values)
{
    const QList<QByteArray> keys = entries.keys();
    paths.assign(keys.begin(), keys.end());
    std::sort(paths.begin(), paths.end());
    values.clear();
    for (const QByteArray &path : paths)
        values.push_back(entries.value(path));
}

bool same(const TTreeSong &a, const TTreeSong &b)
{
    return a.artist == b.artist && a.title == b.title && a.album == b.album && a.year == b.year
        && a.albumYear == b.albumYear && a.disc == b.disc && a.track == b.track && a.lengthMs == b.lengthMs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const TagCache::Entries entries = TagCache::Parse(bytes);
    std::vector<QByteArray> paths;
    std::vector<TagCache::Entry> values;
    compose(entries, paths, values);
    const QByteArray composed = TagCache::Compose(paths, values);
    const TagCache::Entries again = TagCache::Parse(composed);
    FUZZ_CHECK(again.size() == entries.size());
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        FUZZ_CHECK(!it.key().isEmpty());
        const auto other = again.constFind(it.key());
        FUZZ_CHECK(other != again.constEnd() && other->key == it->key);
        // Text that is not UTF-8 comes back as its replacement characters, once.
        const TTreeSong once
            = TagCache::Parse(TagCache::Compose({ it.key() }, { *other })).value(it.key()).song;
        FUZZ_CHECK(same(once, other->song));
    }
    std::vector<QByteArray> paths2;
    std::vector<TagCache::Entry> values2;
    compose(again, paths2, values2);
    FUZZ_CHECK(TagCache::Compose(paths2, values2) == composed);
    return 0;
}
