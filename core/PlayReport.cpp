#include "PlayReport.h"

#include <iterator>

void TPlayReport::merge(TPlayReport other)
{
    other.files.forEach([this](dev_t device, ino_t inode) { files.insert(device, inode); });
    paths.insert(paths.end(), std::make_move_iterator(other.paths.begin()),
        std::make_move_iterator(other.paths.end()));
    tails.insert(tails.end(), std::make_move_iterator(other.tails.begin()),
        std::make_move_iterator(other.tails.end()));
    documents.insert(other.documents);
}

TPlayReport TPlayInput::sweep(const TPlayScope &scope) const
{
    TPlayReport report = reported;
    for (const auto &look : sweeps) {
        TPlayReport found;
        look(scope, found);
        report.merge(std::move(found));
    }
    return report;
}

void SweepOpenFiles(const TPlayScope &scope, TPlayReport &report)
{
    OpenFileSet held = OpenFileSet::sweep(scope.folders, scope.listedName);
    report.paths = held.lentPaths();
    report.files = std::move(held);
}
