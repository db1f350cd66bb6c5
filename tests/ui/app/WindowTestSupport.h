// What the tests of the main window share: the options of a window that touches nothing of the
// user's, the demo card made for the ctest run, and waiting with the event loop running.
// Called on the test's (GUI) thread only.
#pragma once

#include "tests/support/TempDir.h"
#include "ui/app/CSamplePlayerDlg.h"

#include <QString>
#include <QTest>

#include <cstdlib>
#include <functional>
#include <string>

// A window on `folder` that looks for no removable card, keeps its settings file and profile
// in `home` (which must outlive the window) and plays its sound to the null device.
inline CSamplePlayerDlg::Options TestWindowOptions(const std::string& folder, const TempDir& home) {
    CSamplePlayerDlg::Options options;
    options.scanRemovable = false;
    options.cardFolder = folder;
    options.configPath = QString::fromStdString(home.File("config.cfg"));
    options.profileFolder = QString::fromStdString(home.File("profile"));
    options.audio = AudioOutputFactory::Choice::Null;
    return options;
}

// The demo card that ctest makes once per run (TATVIEW_TEST_CARD); empty when none is named.
inline std::string TestCard() {
    const char* card = std::getenv("TATVIEW_TEST_CARD");
    return card != nullptr ? card : "";
}

// Runs the event loop in 20 ms steps until `done()` holds or `ms` milliseconds have passed;
// the last answer of `done()`.
inline bool WaitUntil(const std::function<bool()>& done, int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        if (done())
            return true;
        QTest::qWait(20);
    }
    return done();
}
