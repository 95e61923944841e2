#include "ProcSweep.h"

std::function<void(const TPlayScope &, TPlayReport &)> TProcSweep::sweep() const
{
    return SweepOpenFiles;
}
