#include "PlaySource.h"

void TPlaySources::start()
{
    if (m_started)
        return;
    m_started = true;
    for (TPlaySource *source : m_sources)
        source->start();
}

TPlayInput TPlaySources::input() const
{
    TPlayInput input;
    for (const TPlaySource *source : m_sources) {
        input.reported.merge(source->report());
        if (auto look = source->sweep())
            input.sweeps.push_back(std::move(look));
    }
    return input;
}

void TPlaySources::unplaced(const std::vector<QByteArray> &documents)
{
    for (TPlaySource *source : m_sources)
        source->unplaced(documents);
}
