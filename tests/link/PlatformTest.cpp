// SPDX-License-Identifier: GPL-3.0-or-later
// Port backends: finding the parport by base address, error messages, the
// tracer's line format and the system clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <thread>
#include <vector>

#include "support/FakeKernel.h"
#include "support/RecordingPort.h"
#include "platform/Platform.h"
#include "sim/VirtualKrt.h"

namespace krt::test {
namespace {

namespace fs = std::filesystem;

class FakeProc : public testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("krt-proc-" + std::to_string(getpid()));
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    void AddPort(const std::string& name, const std::string& baseAddr) {
        fs::create_directories(root / name);
        std::ofstream(root / name / "base-addr") << baseAddr;
    }
    fs::path root;
};

TEST_F(FakeProc, FindsThePortWhoseBaseMatches) {
    AddPort("parport0", "888\t1912\n");  // 0x378
    AddPort("parport1", "632\t-1\n");    // 0x278
    AddPort("parport2", "garbage\n");
    std::string error;
    EXPECT_EQ(FindParportDevice(0x278, root.string(), "/dev", error), "/dev/parport1");
    EXPECT_EQ(FindParportDevice(0x378, root.string(), "/dev", error), "/dev/parport0");
    EXPECT_TRUE(error.empty());
}

TEST_F(FakeProc, NoPortAtThatBaseNamesTheBase) {
    AddPort("parport0", "888\t1912\n");
    std::string error;
    EXPECT_EQ(FindParportDevice(0x3BC, root.string(), "/dev", error), "");
    EXPECT_NE(error.find("no parallel port at 3BC"), std::string::npos) << error;
}

TEST(Ppdev, MissingProcTreeAndMissingDeviceAreClearErrors) {
    std::string error;
    EXPECT_EQ(FindParportDevice(0x378, "/nonexistent/parport", "/dev", error), "");
    EXPECT_NE(error.find("no parallel port at 378"), std::string::npos) << error;
    error.clear();
    EXPECT_EQ(OpenPpdevPort(0x378, "/nonexistent/parport9", error), nullptr);
    EXPECT_NE(error.find("/nonexistent/parport9 does not exist"), std::string::npos) << error;
}

TEST(DirectIo, BaseOutsideTheGrantableRangeIsRefused) {
    std::string error;
    EXPECT_EQ(OpenDirectPort(0xFFFE, error), nullptr);
    EXPECT_FALSE(error.empty());
}

// Only the three registers are touched: any other address has no permission
// (a real machine ends the program with SIGSEGV).
TEST(DirectIo, TouchesOnlyItsThreeRegisters) {
    VirtualKrt krt;
    FakeKernel kernel;
    kernel.AddPort(0x378, &krt);
    std::string error;
    auto port = OpenDirectPort(0x378, error);
    ASSERT_NE(port, nullptr) << error;
    for (const uint16_t address : {0x377, 0x37B}) {
        EXPECT_EQ(port->read(address), 0xFF) << address;
        port->write(address, 0x00);
    }
    EXPECT_EQ(kernel.PermissionFaults(), 0u);
}

// A port that failed (the card pulled) or that a thread was refused reads
// as a programmer that is ready and gives no reply, so that a ready poll
// ends at once; the fault handler is told.
TEST(FailedPort, ReadsReadyWithoutAReply) {
    using Opener = std::function<std::unique_ptr<PortIo>(std::string&, PortFaultHandler)>;
    struct Case {
        const char* what;
        Opener open;
        std::function<void(FakeKernel&)> fail;
        bool otherThread;
    };
    const Case cases[] = {
        {"ppdev, the card pulled",
         [](std::string& e, PortFaultHandler h) { return OpenPpdevPort(0x378, "", e, std::move(h)); },
         [](FakeKernel& k) { k.FailAccessesAfter(0, ENODEV); }, false},
        {"direct I/O refused to another thread",
         [](std::string& e, PortFaultHandler h) { return OpenDirectPort(0x378, e, std::move(h)); },
         [](FakeKernel& k) { k.AllowRawIo(false); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualKrt krt;
        FakeKernel kernel;
        kernel.AddPort(0x378, &krt);
        std::vector<std::string> faults;
        std::string error;
        auto port = c.open(error, [&](const std::string& line) { faults.push_back(line); });
        ASSERT_NE(port, nullptr) << error;
        c.fail(kernel);
        uint8_t status = 0, data = 0xFF;
        auto readBoth = [&] {
            status = port->read(0x379);
            data = port->read(0x378);
        };
        if (c.otherThread)
            std::thread(readBoth).join();
        else
            readBoth();
        EXPECT_EQ(status, 0xDF);
        EXPECT_EQ(data, 0x00);
        EXPECT_FALSE(faults.empty());
    }
}

TEST(Tracing, EveryAccessIsOneLine) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    auto inner = std::make_unique<RecordingPort>();
    RecordingPort* recording = inner.get();
    recording->ScriptStatus(0x40);
    auto port = MakeTracingPort(std::move(inner), out);
    port->write(0x378, 0x0A);
    port->write(0x37A, 0x01);
    EXPECT_EQ(port->read(0x379), 0x40);
    std::fflush(out);
    std::rewind(out);
    char text[256] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(text, n), "W 0378 0A\nW 037A 01\nR 0379 40\n");
    EXPECT_EQ(recording->writes, 2u);  // the accesses reached the inner port
}

TEST(SystemClock, SleepMovesTheClockForward) {
    auto clock = MakeSystemClock();
    const auto before = clock->now();
    clock->sleepMs(2);
    EXPECT_GE(clock->now() - before, std::chrono::milliseconds(2));
}

}  // namespace
}  // namespace krt::test
