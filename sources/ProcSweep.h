#pragma once
// The files other programs hold open, from /proc: a player that is no more
// than a program with the song open is seen this way. It asks nothing and
// holds nothing between scans: each scan sweeps anew, on its own thread
// (SweepOpenFiles).

#include "PlaySource.h"

class TProcSweep final : public TPlaySource
{
    Q_OBJECT
public:
    using TPlaySource::TPlaySource;
    std::function<void(const TPlayScope &, TPlayReport &)> sweep() const override;
};
