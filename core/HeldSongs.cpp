#include "HeldSongs.h"

#include <algorithm>

void THeldSongs::setDelay(std::chrono::milliseconds delay)
{
    m_delay = delay;
}

std::chrono::milliseconds THeldSongs::delay() const
{
    return m_delay;
}

OpenFileSet THeldSongs::confirm(const OpenFileSet &heldNow, Clock::time_point sweptAt)
{
    OpenFileSet playing;
    decltype(m_firstSeen) seen;
    seen.reserve(heldNow.size());
    m_due = Clock::time_point::max();
    heldNow.forEach([&](dev_t device, ino_t inode) {
        const Key key { device, inode };
        const auto earlier = m_firstSeen.find(key);
        // A file closed at the sweep before starts again from this one.
        const Clock::time_point first = earlier == m_firstSeen.end() ? sweptAt : earlier->second;
        seen.emplace(key, first);
        if (m_delay.count() == 0 || (earlier != m_firstSeen.end() && sweptAt - first >= m_delay))
            playing.insert(device, inode);
        else
            m_due = std::min(m_due, first + m_delay);
    });
    m_firstSeen = std::move(seen);
    return playing;
}

int THeldSongs::confirmDueMs(Clock::time_point now) const
{
    if (m_due == Clock::time_point::max())
        return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_due - now).count();
    return int(std::max<long long>(left, 0));
}
