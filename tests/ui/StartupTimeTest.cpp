// SPDX-License-Identifier: GPL-3.0-or-later
// Measurement: construction, start-up and the first showing of the main
// window (printed, not asserted). The program itself prints the same with
// krtwin --startup-time.
#include <QElapsedTimer>
#include <iostream>

#include "UiTestSupport.h"

namespace krt::test {
namespace {

using StartupTime = WindowTest;

TEST_F(StartupTime, MainWindowShown) {
    WriteValidSettings();
    QElapsedTimer t;
    t.start();
    Start();
    const double created = t.nsecsElapsed() / 1e6;
    form->show();
    QApplication::processEvents();
    const double shown = t.nsecsElapsed() / 1e6;
    EXPECT_TRUE(form->isVisible());
    std::cout << "[measure] main window: created and started in " << created << " ms, shown after "
              << shown << " ms\n";
}

}  // namespace
}  // namespace krt::test
