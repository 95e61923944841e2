#pragma once
// Runs the scans of the music folder for the main window, one at a time. A
// full scan runs on the window's thread (it shows its first rows early and
// handles pending events once); a light scan probes the files on another
// thread, so the window never waits for a busy disk, and then puts what it
// found into the list. A full scan asked for while a scan runs follows it; a
// light scan asked for then is dropped, the running one does its work. It
// owns the folder watch, which also asks for the scan that confirms a song
// seen held open for the first time.

#include "Catalogue.h"

#include <QObject>

#include <functional>
#include <memory>
#include <thread>
#include <vector>

class TFolderWatch;

class TScanControl final : public QObject
{
    Q_OBJECT
public:
    // What the window does around a scan.
    struct View {
        // A full scan has its first rows in: repaint and handle events.
        std::function<void()> yield;
        // A song is playing: "Artist - Title" of the last one found.
        std::function<void(const QString &artistTitle)> playing;
        // A cell became "Lock" and should show at once.
        std::function<void(int row)> locked;
        // A scan has ended, with the failures it met.
        std::function<void(bool full, const QStringList &errors)> ended;
    };

    TScanControl(TCatalogue &catalogue, View view, QObject *parent = nullptr);
    // Waits for a probe still running.
    ~TScanControl() override;

    void RefreshList(bool full);
    // Runs then once the scan running now, or else the next one, has ended
    // (a light scan is asked for when none runs).
    void afterScan(std::function<void()> then);

    // True from the start of a scan until its results are in the list.
    bool isScanning() const { return m_scanning || m_light != nullptr; }
    // How many scans ran (a request dropped while one runs is not one).
    int scans() const { return m_scans; }
    TFolderWatch *folderWatch() const { return m_watch; }

private:
    void runFull();
    void startLight();
    void lightProbed();
    void scanEnded(bool full, const QStringList &errors);

    TCatalogue &m_catalogue;
    View m_view;
    TFolderWatch *m_watch;
    std::unique_ptr<TCatalogue::LightScan> m_light; // probing now
    std::thread m_prober;
    std::vector<std::function<void()>> m_afterScan;
    bool m_scanning = false; // a full scan runs
    bool m_fullScanPending = false;
    int m_scans = 0;
};
