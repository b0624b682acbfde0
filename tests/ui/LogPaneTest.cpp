// SPDX-License-Identifier: GPL-3.0-or-later
// The log pane: order across threads, batching, clearing; and the measured
// cost of a flood of worker lines (printed, not asserted).
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>
#include <iostream>
#include <thread>

#include "UiTestSupport.h"
#include "base/Log.h"
#include "sim/VirtualKrt.h"

namespace krt::test {
namespace {

QStringList PaneLines(QPlainTextEdit& memo) {
    return memo.toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void PumpUntilEmpty(LogPane& pane) {
    QElapsedTimer t;
    t.start();
    while (pane.Pending() && t.elapsed() < 20000) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(LogPane, WorkerLinesFollowEarlierLinesInOrder) {
    App();
    QPlainTextEdit memo;
    LogPane pane(&memo);
    pane.Append(QStringLiteral("before 1"));
    pane.Append(QStringLiteral("before 2"));
    std::thread worker([&] {
        for (int i = 0; i < 20000; ++i) Log(&pane, "worker %d", i);
    });
    // The window keeps running meanwhile.
    while (pane.Pending() || worker.joinable()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (worker.joinable() && pane.Pending() == 0) {
            worker.join();
        }
    }
    pane.Append(QStringLiteral("after"));
    pane.Flush();
    const QStringList lines = PaneLines(memo);
    ASSERT_EQ(lines.size(), 20003);
    EXPECT_EQ(lines[0], QStringLiteral("before 1"));
    EXPECT_EQ(lines[1], QStringLiteral("before 2"));
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(lines[i + 2], QStringLiteral("worker %1").arg(i));
    EXPECT_EQ(lines.last(), QStringLiteral("after"));
}

TEST(LogPane, AFloodIsMovedInBoundedBatches) {
    App();
    QPlainTextEdit memo;
    LogPane pane(&memo);
    for (int i = 0; i < 100000; ++i) pane.line("a line of a long failing verify");
    // One pass of the event loop moves one batch, not the whole flood.
    QApplication::processEvents();
    EXPECT_GT(pane.Shown(), 0u);
    EXPECT_LT(pane.Shown(), 100000u);
    PumpUntilEmpty(pane);
    EXPECT_EQ(pane.Shown(), 100000u);
}

TEST(LogPane, ClearDropsPendingLines) {
    App();
    QPlainTextEdit memo;
    LogPane pane(&memo);
    pane.line("shown");
    pane.Flush();
    pane.line("pending");
    pane.Clear();
    pane.line("next");
    pane.Flush();
    EXPECT_EQ(PaneLines(memo), QStringList{QStringLiteral("next")});
}

// Measurement: 100 000 lines from a worker while the window runs. The longest
// gap between two ticks of a 1 ms timer is how long the window could not
// handle events.
TEST(LogPanePerformance, HundredThousandWorkerLines) {
    App();
    QPlainTextEdit memo;
    memo.resize(500, 200);
    memo.show();
    LogPane pane(&memo);
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last) longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < 100000; ++i) Log(&pane, "Verify error at %06X: buffer 00, device FF", i);
        done = true;
    });
    while (!done || pane.Pending()) QApplication::processEvents(QEventLoop::AllEvents, 5);
    worker.join();
    const double total = clock.nsecsElapsed() / 1e6;
    EXPECT_EQ(pane.Shown(), 100000u);
    std::cout << "[measure] 100000 worker lines: all shown after " << total
              << " ms, longest event-loop gap " << longest / 1e6 << " ms, longest batch "
              << pane.LongestBatchMs() << " ms\n";
    ::testing::Test::RecordProperty("longest_gap_ms", std::to_string(longest / 1e6));
    ::testing::Test::RecordProperty("total_ms", std::to_string(total));
}

// The same through a real operation: a verify of a blank 512 K chip against a
// zeroed buffer logs one line per address until 100000 errors.
class FloodTest : public WindowTest {};

TEST_F(FloodTest, VerifyFloodDuringAnOperation) {
    WriteValidSettings();
    Start();
    form->show();
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C040"));
    ASSERT_TRUE(form->DeviceSelected());
    std::fill(form->Buffer().data(), form->Buffer().data() + form->Buffer().size(), 0);
    form->Edit1->setText(QStringLiteral("100000"));
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last) longest = std::max(longest, now - last);
        last = now;
    });
    tick.start();
    form->OpVerifyExecute();
    const double opMs = clock.nsecsElapsed() / 1e6;
    // The window drains the rest of the flood while it keeps running.
    PumpUntilEmpty(form->Pane());
    const double shownMs = clock.nsecsElapsed() / 1e6;
    tick.stop();
    const QStringList lines = LogLines();
    EXPECT_TRUE(lines.contains(QStringLiteral("Errors were found through VERIFY operation")));
    EXPECT_GE(lines.size(), 100000);
    std::cout << "[measure] verify flood: " << lines.size() << " log lines, operation took "
              << opMs << " ms, all shown after " << shownMs << " ms, longest event-loop gap " << longest / 1e6 << " ms, longest batch "
              << form->Pane().LongestBatchMs() << " ms\n";
}

}  // namespace
}  // namespace krt::test
