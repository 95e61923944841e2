#pragma once
// The main window as the live-detection tests want it: shown, active, its
// first scan done (and the songs renamed while it was closed followed), and its refresh timer set to an hour,
// so that only the folder watch and the players can make the list notice a play.

#include "ScanControl.h"
#include "UDSCMain.h"

#include <QTest>
#include <QTimer>

#include <memory>

inline std::unique_ptr<TfrmMain> OpenLiveWindow(const QString &settings)
{
    auto window = std::make_unique<TfrmMain>(settings);
    window->tmrRefresh->setInterval(3600 * 1000);
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning("main window did not become active");
    if (!QTest::qWaitFor([&] { return window->scans() >= 1 && window->isSettled(); }))
        qWarning("the first scan did not run");
    return window;
}

// Lets what already came in (events of the folder, a player's message on the
// bus) be handled, then waits until no scan runs or is asked for, the one
// that confirms a song seen held included: what the list shows then stands.
// A scan asked for wrongly shows as asked for.
inline void WaitQuiet(TfrmMain &window)
{
    QTest::qWait(300);
    QVERIFY2(QTest::qWaitFor([&] { return window.scanControl().isQuiet(); }, 60000), "the scans never ended");
}
