// SPDX-License-Identifier: GPL-3.0-or-later
// The programmer session: start-up, backend errors, a port base changed
// after start-up, and the order in which a worker reports.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "support/RecordingPort.h"
#include "catalogue/DeviceRecord.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "sim/VirtualKrt.h"

namespace krt {
namespace {

TEST(Session, StartUpOnTheSimulatorFindsTheProgrammer) {
    test::CollectingLog log;
    Session session(&log);
    std::string error;
    ASSERT_TRUE(session.OpenBackend("sim", 0x378, error)) << error;
    EXPECT_TRUE(session.Simulated());
    EXPECT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
    EXPECT_TRUE(session.link.programmerFound);
    EXPECT_EQ(session.link.portBase, 0x378);
}

TEST(Session, UnknownBackendIsRefusedWithItsName) {
    Session session;
    std::string error;
    EXPECT_FALSE(session.OpenBackend("parallel", 0x378, error));
    EXPECT_NE(error.find("\"parallel\""), std::string::npos);
    EXPECT_FALSE(session.IsOpen());
    // Without a backend the requests that need the port find no programmer.
    EXPECT_EQ(session.Request(REQ_DETECT), RESULT_NOT_FOUND);
}

TEST(Session, PortBaseChangedAfterStartUpReachesTheProgrammer) {
    test::CollectingLog log;
    Session session(&log);
    std::string error;
    ASSERT_TRUE(session.OpenBackend("sim", 0x378, error)) << error;
    ASSERT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
    EXPECT_EQ(session.Request(REQ_SET_PORT_BASE, 0x278), RESULT_OK);
    EXPECT_EQ(session.Request(REQ_DETECT), RESULT_OK);
    EXPECT_TRUE(session.link.programmerFound);
    EXPECT_EQ(session.Simulator()->PortBase(), 0x278);
}

struct RecordingObserver final : OperationObserver {
    std::vector<std::string> calls;
    void BufferChanged() override { calls.push_back("buffer"); }
    void Finished(uint8_t result, const std::string& timeLine) override {
        calls.push_back("finished " + std::to_string(result) + (timeLine.empty() ? "" : " with time"));
    }
};

TEST(OperationWorker, ReportsTheBufferBeforeTheEndAndTheTimeWithTheSimulator) {
    test::CollectingLog log;
    Session session(&log);
    std::string error;
    ASSERT_TRUE(session.OpenBackend("sim", 0x378, error)) << error;
    ASSERT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
    DeviceRecord record;
    record.type = "EPROM";
    record.name = "27C256";
    record.maxsize = 0x100;
    record.bufsize = 0x100;
    record.bytesPerWord = 1;
    record.VppR = 5.0;
    record.VccR = 5.0;
    std::string note;
    ASSERT_TRUE(session.LoadSocket(record, "", note, error)) << error;
    ASSERT_TRUE(session.buffer.Allocate(record.bufsize));
    int listened = 0;
    session.SetBufferListener([&listened] { ++listened; });
    RecordingObserver observer;
    OperationWorker worker(session, OperationRequest(REQ_READ, 0, 0x100, 100, session.buffer), record, observer);
    worker.Run();
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"buffer", "finished 0 with time"}));
    EXPECT_EQ(listened, 1);
}

// An observer that takes the lines and asks for the position: every line
// and every position come before the buffer and the end, and the taken lines
// no longer reach the session's log.
struct ReportingObserver final : OperationObserver {
    std::mutex mutex;
    std::vector<std::string> calls;
    bool takeLines = true;
    void Note(std::string call) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(std::move(call));
    }
    bool Line(std::string_view line) override {
        if (takeLines) Note("line " + std::string(line));
        return takeLines;
    }
    std::chrono::milliseconds ProgressInterval() const override { return std::chrono::milliseconds(1); }
    void Progress(int32_t position) override { Note("progress " + std::to_string(position)); }
    void BufferChanged() override { Note("buffer"); }
    void Finished(uint8_t result, const std::string&) override { Note("finished " + std::to_string(result)); }
};

TEST(OperationWorker, ReportsLinesAndPositionBeforeTheBufferAndTheEnd) {
    test::CollectingLog log;
    Session session(&log);
    std::string error;
    ASSERT_TRUE(session.OpenBackend("sim", 0x378, error)) << error;
    ASSERT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
    DeviceRecord record;
    record.type = "EPROM";
    record.name = "27C256";
    record.maxsize = 0x8000;
    record.bufsize = 0x8000;
    record.bytesPerWord = 1;
    record.VppR = 5.0;
    record.VccR = 5.0;
    std::string note;
    ASSERT_TRUE(session.LoadSocket(record, "", note, error)) << error;
    ASSERT_TRUE(session.buffer.Allocate(record.bufsize));
    session.Simulator()->SetPacedToRealTime(true);
    const size_t logged = log.lines().size();
    ReportingObserver observer;
    // Beyond the device: the family logs why the range was cut.
    OperationWorker worker(session, OperationRequest(REQ_READ, 0x7F00, 0x200, 100, session.buffer), record,
                           observer);
    worker.Run();
    ASSERT_GE(observer.calls.size(), 3u);
    EXPECT_EQ(observer.calls[observer.calls.size() - 2], "buffer");
    EXPECT_EQ(test::Last(observer.calls), "finished 0");
    int lines = 0, positions = 0;
    for (size_t i = 0; i + 2 < observer.calls.size(); ++i) {
        lines += observer.calls[i].rfind("line ", 0) == 0;
        positions += observer.calls[i].rfind("progress ", 0) == 0;
    }
    EXPECT_EQ(lines + positions + 2, static_cast<int>(observer.calls.size()));
    EXPECT_GE(positions, 1);
    EXPECT_EQ(log.lines().size(), logged);  // taken, not logged twice
    EXPECT_EQ(session.Log(), &log);       // the session's sink is back

    // An observer that leaves the lines: they go to the session's log.
    observer.takeLines = false;
    observer.calls.clear();
    OperationWorker again(session, OperationRequest(REQ_READ, 0x7F00, 0x200, 100, session.buffer), record,
                          observer);
    again.Run();
    EXPECT_GT(log.lines().size(), logged);
}

TEST(OperationWorker, AutomaticWriteStopsAtTheFirstFailure) {
    std::vector<uint8_t> ran;
    const uint8_t result = AutomaticWrite(
        [&ran](const OperationInfo& step) {
            ran.push_back(step.code);
            return step.code == REQ_WRITE ? RESULT_ERRORS : RESULT_OK;
        },
        [] { return true; });
    EXPECT_EQ(result, RESULT_ERRORS);
    EXPECT_EQ(ran, (std::vector<uint8_t>{REQ_BLANK_CHECK, REQ_WRITE}));
}

}  // namespace
}  // namespace krt
