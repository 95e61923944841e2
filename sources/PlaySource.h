#pragma once
// A source of plays: something that knows which files a player holds. Each
// kind of player is one class (the sweep of /proc, players on the session
// bus, MPD, the Documents portal's answers) and one line where the scan
// control adds it to its TPlaySources. A source starts at the first
// activation of the main window, keeps its own connections on the event
// loop, reports what it holds as a TPlayReport and says changed() when that
// may differ: a light scan follows.

#include "PlayReport.h"

#include <QObject>

#include <memory>
#include <vector>

class TPlaySource : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Begins following its players; called once.
    virtual void start() { }
    // What it holds now, taken on the window's thread when a scan starts.
    virtual TPlayReport report() const { return {}; }
    // A source that looks at the system at each scan itself gives the look
    // here: it runs on the scan's thread and must touch nothing of the
    // source's (copy what it needs into the function).
    virtual std::function<void(const TPlayScope &, TPlayReport &)> sweep() const { return {}; }
    // After each scan: the documents lent by the Documents portal that the
    // scan found held but could not place (their folder is not known).
    virtual void unplaced(const std::vector<QByteArray> &documents) { Q_UNUSED(documents) }

Q_SIGNALS:
    void changed();
};

// Every source of plays, merged: one input for a scan, one change signal.
class TPlaySources final : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Takes source over (it becomes a child of this object).
    template <typename Source> Source *add(Source *source)
    {
        source->setParent(this);
        m_sources.push_back(source);
        connect(source, &TPlaySource::changed, this, &TPlaySources::changed);
        return source;
    }
    // Starts every source (once; later calls do nothing).
    void start();
    // What a scan starting now takes from the sources.
    TPlayInput input() const;
    // What the last scan could not place, for the sources that can help.
    void unplaced(const std::vector<QByteArray> &documents);

Q_SIGNALS:
    // What some source holds may have changed.
    void changed();

private:
    std::vector<TPlaySource *> m_sources;
    bool m_started = false;
};
