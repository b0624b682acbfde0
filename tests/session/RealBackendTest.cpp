// SPDX-License-Identifier: GPL-3.0-or-later
// The real port backends' own code on a stand-in kernel with the simulated
// programmer behind the port: every family writes and verifies through
// ppdev and through direct I/O with the same register trace as on the
// simulator; a port held by another program, a new base, a second thread,
// missing drivers and a port that fails under a request.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "session/Operations.h"
#include "session/Session.h"
#include "sim/ChipFactory.h"
#include "sim/VirtualKrt.h"
#include "support/FakeKernel.h"
#include "support/RecordingPort.h"
#include "support/ShippedRecord.h"

namespace krt {
namespace {

using test::FakeKernel;
using namespace std::chrono_literals;

struct Part {
    const char* type;
    const char* maker;
    const char* name;
    uint32_t length;  // 0: the whole device
};

const Part kParts[] = {
    {"EPROM", "AMD", "27C256", 0x40},          {"EEPROM", "Atmel", "AT28C256", 0x40},
    {"FLASH", "Intel", "P28F010", 0x40},       {"SEEPROM", "Atmel", "AT24C02", 0x10},
    {"PIC", "Microchip", "PIC16F84", 0x20},    {"GAL", "Lattice", "GAL16V8", 0},
};

DeviceRecord LoadPart(const Part& part) { return test::ShippedRecord(part.type, part.maker, part.name); }

// A pattern each family can take: fuses for a GAL, 14-bit words (blank
// configuration, data-EEPROM bytes) for a PIC, bytes for the others.
void Fill(DataBuffer& buffer, const Part& part) {
    uint8_t* data = buffer.data();
    for (uint32_t i = 0; i < buffer.size(); ++i) {
        if (std::string(part.type) == "GAL") data[i] = (i % 3) == 0;
        else if (std::string(part.type) == "PIC")
            data[i] = i < 0x4000   ? static_cast<uint8_t>(i % 2 ? i * 7 : (i / 2) & 0x3F)
                      : i < 0x4200 ? (i % 2 ? 0xFF : 0x3F)
                                   : static_cast<uint8_t>(i % 2 ? i * 5 : 0);  // data EEPROM: a byte a word
        else data[i] = static_cast<uint8_t>(i * 37 + 5);
    }
}

std::string ReadAll(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char chunk[65536];
    while (const size_t n = std::fread(chunk, 1, sizeof chunk, file)) text.append(chunk, n);
    return text;
}

struct Outcome {
    uint8_t write = 0xFF;
    uint8_t verify = 0xFF;
    std::string trace;
    std::vector<std::string> breaches;
    std::string log;  // the session's lines, for a failure's message
};

// A write and a verify of the part on the backend, with a blank chip in the
// programmer's socket; the trace of every register access.
Outcome WriteAndVerify(const std::string& backend, const Part& part, uint16_t base = 0x378, bool traced = true) {
    Outcome outcome;
    const DeviceRecord device = LoadPart(part);
    VirtualKrt krt(base);
    std::unique_ptr<FakeKernel> kernel;
    std::string note, error;
    if (backend != "sim") {
        kernel = std::make_unique<FakeKernel>();
        kernel->AddPort(base, &krt);
        krt.SetStrict(true);
        krt.InsertChip(MakeBlankChip(device, note));
    }
    test::CollectingLog log;
    Session session(&log);
    std::FILE* trace = std::tmpfile();
    if (traced) session.SetTrace(trace);
    EXPECT_TRUE(session.OpenBackend(backend, base, error)) << error;
    VirtualKrt* programmer = &krt;
    if (backend == "sim") {
        programmer = session.Simulator();
        programmer->SetStrict(true);
        EXPECT_TRUE(session.LoadSocket(device, "", note, error)) << error;
    }
    SessionSettings settings;
    settings.portBase = base;
    EXPECT_EQ(session.StartUp(settings), RESULT_OK);
    DeviceRecord record = device;
    EXPECT_TRUE(session.buffer.Allocate(record.bufsize));
    Fill(session.buffer, part);
    const uint32_t length = part.length ? part.length : record.bufsize;
    LinkRequest write = OperationRequest(REQ_WRITE, 0, length, 100, session.buffer);
    outcome.write = session.Send(write, record);
    LinkRequest verify = OperationRequest(REQ_VERIFY, 0, length, 100, session.buffer);
    outcome.verify = session.Send(verify, record);
    outcome.breaches = programmer->BreachLines();
    for (const std::string& line : log.lines()) outcome.log += line + "\n";
    outcome.trace = ReadAll(trace);
    std::fclose(trace);
    return outcome;
}

// Equal traces; on a difference, the first line that differs.
void ExpectSameTrace(const std::string& actual, const std::string& expected) {
    if (actual == expected) return;
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    const size_t line = at - std::min(at, expected.rfind('\n', at) == std::string::npos ? at : at - expected.rfind('\n', at) - 1);
    ADD_FAILURE() << "traces differ at byte " << at << ": \"" << actual.substr(line, 20) << "\" instead of \""
                  << expected.substr(line, 20) << "\"";
}

// One family per test, so that the runs can go in parallel.
class EveryFamily : public ::testing::TestWithParam<Part> {};

TEST_P(EveryFamily, WritesAndVerifiesThroughTheRealBackendsWithTheSimulatorsTrace) {
    const Part& part = GetParam();
    // A GAL is always written whole: millions of accesses. It goes through
    // ppdev only (the backends' code is the same for every family); every
    // family's trace through a real backend equals its trace on the simulator.
    const bool gal = std::string(part.type) == "GAL";
    const Outcome sim = WriteAndVerify("sim", part);
    ASSERT_EQ(sim.write, RESULT_OK) << sim.log;
    ASSERT_EQ(sim.verify, RESULT_OK);
    ASSERT_FALSE(sim.trace.empty());
    for (const char* backend : {"ppdev", "direct"}) {
        if (gal && std::string(backend) == "direct") continue;
        SCOPED_TRACE(backend);
        const Outcome real = WriteAndVerify(backend, part);
        EXPECT_EQ(real.write, RESULT_OK) << real.log;
        EXPECT_EQ(real.verify, RESULT_OK);
        EXPECT_TRUE(real.breaches.empty()) << (real.breaches.empty() ? "" : real.breaches.front());
        ExpectSameTrace(real.trace, sim.trace);
    }
}

INSTANTIATE_TEST_SUITE_P(RealBackends, EveryFamily, ::testing::ValuesIn(kParts),
                         [](const ::testing::TestParamInfo<Part>& info) { return std::string(info.param.type); });

// A PCIe card's base, through both real backends.
TEST(RealBackends, ACardAboveTheLegacyRangeWorks) {
    for (const char* backend : {"ppdev", "direct"}) {
        SCOPED_TRACE(backend);
        const Outcome outcome = WriteAndVerify(backend, kParts[0], 0xD010);
        EXPECT_EQ(outcome.write, RESULT_OK);
        EXPECT_EQ(outcome.verify, RESULT_OK);
        EXPECT_NE(outcome.trace.find("W D012 01"), std::string::npos);
    }
}

// Opens on a thread, so that a claim that would wait for ever fails the test
// instead of hanging it (the holder is made to let go).
bool OpenBounded(Session& session, const std::string& backend, uint16_t base, std::string& error,
                 FakeKernel& kernel, int port) {
    auto opened = std::async(std::launch::async, [&] { return session.OpenBackend(backend, base, error); });
    if (opened.wait_for(10s) != std::future_status::ready) {
        ADD_FAILURE() << "the claim waited for the other holder without a bound";
        kernel.LetGo(port);
    }
    return opened.get();
}

TEST(PpdevBackend, APortHeldByAnotherProgramFailsAfterTheBoundNamingIt) {
    VirtualKrt krt;
    FakeKernel kernel;
    const int port = kernel.AddPort(0x378, &krt);
    kernel.HoldByOther(port, 4242, "krtwin");
    Session session;
    std::string error;
    EXPECT_FALSE(OpenBounded(session, "ppdev", 0x378, error, kernel, port));
    EXPECT_NE(error.find("is in use by another program (krtwin (pid 4242))"), std::string::npos) << error;
    EXPECT_EQ(kernel.SleptClaims(), 1u);
    EXPECT_EQ(kernel.OpenFiles(), 0u) << "the file of the failed claim is closed";
    kernel.LetGo(port);
    EXPECT_TRUE(session.OpenBackend("ppdev", 0x378, error)) << error;
}

TEST(PpdevBackend, AClaimWaitsWhileTheHolderLetsGoWithinTheBound) {
    VirtualKrt krt;
    FakeKernel kernel;
    kernel.claimBound = 5s;
    const int port = kernel.AddPort(0x378, &krt);
    kernel.HoldByOther(port, 4242, "krt");
    std::thread holder([&] {
        std::this_thread::sleep_for(50ms);
        kernel.LetGo(port);
    });
    Session session;
    std::string error;
    EXPECT_TRUE(OpenBounded(session, "ppdev", 0x378, error, kernel, port)) << error;
    holder.join();
    EXPECT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
}

// What each failure to open says: the cause and its fix, never an option of
// the command line (the window shows these too).
TEST(PpdevBackend, EachFailureToOpenSaysItsCauseAndFix) {
    struct Case {
        const char* what;
        std::function<void(FakeKernel&, int)> arrange;
        const char* device;  // the device named, under the device folder (none: found by the base)
        const char* says;
    };
    const Case cases[] = {
        {"neither module", [](FakeKernel& k, int) { k.LoadModules(false, false); }, nullptr, "modprobe parport_pc ppdev"},
        {"parport without ppdev", [](FakeKernel& k, int) { k.LoadModules(true, false); }, nullptr,
         "the ppdev module is not loaded. Load it with: sudo modprobe ppdev"},
        {"a device of no port the kernel knows, without ppdev", [](FakeKernel& k, int) { k.LoadModules(true, false); },
         "parport5", "parport5 does not exist (load the ppdev module: sudo modprobe ppdev)"},
        {"no port at the base", [](FakeKernel&, int) {}, nullptr, "the kernel knows 278 (parport0)"},
        {"lp group", [](FakeKernel& k, int) { k.FailOpens(EACCES); }, nullptr, "lp group"},
        {"not permitted", [](FakeKernel& k, int) { k.FailOpens(EPERM); }, nullptr, "lp group"},
        {"vanished at claim", [](FakeKernel& k, int p) { k.RemovePort(p); }, "parport0", "has gone"},
        {"exclusive holder", [](FakeKernel& k, int p) { k.HoldByOther(p, 77, "burner", true); }, "parport0",
         "in use by another program (burner (pid 77)), which holds it exclusively"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualKrt krt(0x278);
        FakeKernel kernel;
        const int port = kernel.AddPort(0x278, &krt);
        c.arrange(kernel, port);
        Session session;
        std::string error;
        const uint16_t base = std::string(c.what) == "no port at the base" ? 0x378 : 0x278;
        EXPECT_FALSE(session.OpenBackend(c.device ? "ppdev:" + kernel.devDir + "/" + c.device : "ppdev", base, error));
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(error.find("--"), std::string::npos) << error;
    }
}

// Changing the base on a named device: the old claim is let go before the
// new one is made, or the new claim waits for the old one.
TEST(PpdevBackend, ANewBaseReleasesTheOldClaimFirst) {
    VirtualKrt krt;
    FakeKernel kernel;
    kernel.AddPort(0x378, &krt);
    test::CollectingLog log;
    Session session(&log);
    std::string error;
    ASSERT_TRUE(session.OpenBackend("ppdev:" + kernel.devDir + "/parport0", 0x378, error)) << error;
    ASSERT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
    // The named device stays the programmer's port; the backend now reads
    // its registers as 0x278 to 0x27A.
    EXPECT_EQ(session.Request(REQ_SET_PORT_BASE, 0x278), RESULT_OK);
    EXPECT_EQ(session.Request(REQ_DETECT), RESULT_OK);
    EXPECT_EQ(kernel.SleptClaims(), 0u);
    EXPECT_EQ(kernel.OpenFiles(), 1u);
    EXPECT_EQ(session.BackendBase(), 0x278);
}

// The window opens the port on its thread; a new base is taken up on the
// worker; the window thread then drives the port again (the result
// indicator, the debug window). Each must have the port's permission.
TEST(DirectBackend, EveryThreadThatDrivesThePortHasThePermission) {
    VirtualKrt first(0x378), second(0x278);
    FakeKernel kernel;
    kernel.AddPort(0x378, &first);
    kernel.AddPort(0x278, &second);
    Session session;
    std::string error;
    ASSERT_TRUE(session.OpenBackend("direct", 0x378, error)) << error;
    ASSERT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
    EXPECT_EQ(session.Request(REQ_SET_PORT_BASE, 0x278), RESULT_OK);
    std::thread worker([&] { EXPECT_EQ(session.Request(REQ_DETECT), RESULT_OK); });
    worker.join();
    EXPECT_EQ(session.Request(REQ_DETECT), RESULT_OK);
    EXPECT_EQ(session.ShowResult(RESULT_OK), INDICATOR_OK);
    EXPECT_TRUE(second.ResultOkIndicator());
    EXPECT_EQ(kernel.PermissionFaults(), 0u);
}

TEST(DirectBackend, NoPermissionAndABaseNoPortHasAreRefused) {
    VirtualKrt krt;
    FakeKernel kernel;
    kernel.AddPort(0x378, &krt);
    Session session;
    std::string error;
    for (uint16_t base : {0x3BD, 0x0FC, 0xFFFC}) {
        EXPECT_FALSE(session.OpenBackend("direct", base, error)) << base;
        EXPECT_NE(error.find("100 to FFF8"), std::string::npos) << error;
    }
    kernel.AllowRawIo(false);
    EXPECT_FALSE(session.OpenBackend("direct", 0x378, error));
    EXPECT_NE(error.find("CAP_SYS_RAWIO"), std::string::npos) << error;
}

// A register ioctl that fails in the middle of a write (the card pulled):
// the request ends with 4 and one line, not with success on zeros.
TEST(PpdevBackend, APortThatFailsUnderARequestEndsItWithOneLine) {
    const DeviceRecord device = LoadPart(kParts[0]);
    VirtualKrt krt;
    FakeKernel kernel;
    kernel.AddPort(0x378, &krt);
    std::string note, error;
    krt.InsertChip(MakeBlankChip(device, note));
    test::CollectingLog log;
    Session session(&log);
    ASSERT_TRUE(session.OpenBackend("ppdev", 0x378, error)) << error;
    ASSERT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
    DeviceRecord record = device;
    ASSERT_TRUE(session.buffer.Allocate(record.bufsize));
    Fill(session.buffer, kParts[0]);
    log.clear();
    kernel.FailAccessesAfter(500, ENODEV);
    LinkRequest write = OperationRequest(REQ_WRITE, 0, 0x40, 100, session.buffer);
    EXPECT_EQ(session.Send(write, record), RESULT_FATAL);
    size_t failures = 0;
    for (const std::string& line : log.lines()) failures += line.find("failed during the request") != std::string::npos;
    EXPECT_EQ(failures, 1u);
    EXPECT_LE(log.lines().size(), 3u);
    // Not only device operations: a reset on the failed port is no success.
    EXPECT_EQ(session.Request(REQ_RESET), RESULT_FATAL);
}

}  // namespace
}  // namespace krt
