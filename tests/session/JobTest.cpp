// SPDX-License-Identifier: GPL-3.0-or-later
// The rules of a job that are its own: how it names its device, and what
// it refuses before touching anything.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "session/Job.h"
#include "session/Session.h"
#include "support/RecordingPort.h"

namespace krt {
namespace {

struct NamingCase {
    const char* what;
    const char* part;
    const char* type;
    const char* maker;
    const char* name;
    JobOperation operation;
    JobStop stop;
    const char* loaded;  // the record's name afterwards ("": none)
};

const NamingCase kNaming[] = {
    {"part number alone, in any case", "at28c64", "", "", "", JobOperation::Blank, JobStop::None, "AT28C64"},
    {"part number and TYPE MAKER NAME of the same entry", "2764", "EPROM", "Intel", "2764", JobOperation::Blank,
     JobStop::None, "2764"},
    {"part number and TYPE MAKER NAME of different entries", "AT28C64", "EPROM", "Intel", "2764",
     JobOperation::Blank, JobStop::PartConflict, ""},
    {"part number the catalogue lacks", "NOSUCH", "", "", "", JobOperation::Blank, JobStop::UnknownDevice, ""},
    {"verify without a file", "", "EPROM", "Intel", "2764", JobOperation::Verify, JobStop::NoFile, ""},
    {"sum without a file", "2764", "", "", "", JobOperation::Sum, JobStop::NoFile, ""},
};

TEST(Job, NamesItsDeviceOnceAndRefusesWhatCannotRun) {
    for (const NamingCase& c : kNaming) {
        SCOPED_TRACE(c.what);
        test::CollectingLog log;
        Session session(&log);
        Job job;
        job.part = c.part;
        job.type = c.type;
        job.maker = c.maker;
        job.name = c.name;
        job.operation = c.operation;
        job.catalogue = std::string(KRT_SOURCE_DIR) + "/devices";
        LogJobFace face(&log);
        JobReport report;
        EXPECT_EQ(session.PrepareJob(job, face, report), c.stop == JobStop::None);
        EXPECT_EQ(report.stop, c.stop);
        EXPECT_EQ(session.record.name, c.loaded);
        // Only a loaded device has a buffer.
        EXPECT_EQ(session.buffer.Exists(), *c.loaded != '\0');
    }
}

// A compare reads the chip into the buffer to find the differences; the
// buffer holds the file again afterwards, as it did before the read.
struct BufferBeforeFace final : JobFace {
    BufferBeforeFace(Session& session, LogSink* log) : session(session), log(log) {}
    LogSink* Log() override { return log; }
    int Connect() override {
        std::string note, error;
        if (!session.LoadSocket(session.record, "", note, error)) return 1;  // a blank chip
        before.assign(session.buffer.data(), session.buffer.data() + session.buffer.size());
        return 0;
    }
    Session& session;
    LogSink* log;
    std::vector<uint8_t> before;
};

TEST(Job, ACompareLeavesTheFileInTheBuffer) {
    struct Case {
        const char* what;
        const char* start;
        const char* length;
    };
    const Case cases[] = {{"the whole device", "", ""}, {"a range", "100", "10"}};
    const std::string file = testing::TempDir() + "compare-" + std::to_string(::getpid()) + ".bin";
    std::string image(0x2000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7);
    std::ofstream(file, std::ios::binary) << image;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::CollectingLog log;
        Session session(&log);
        std::string error;
        ASSERT_TRUE(session.OpenBackend("sim", 0x378, error)) << error;
        ASSERT_EQ(session.StartUp(SessionSettings{}), RESULT_OK);
        Job job;
        job.part = "2764";
        job.file = file;
        job.start = c.start;
        job.length = c.length;
        job.operation = JobOperation::Compare;
        job.catalogue = std::string(KRT_SOURCE_DIR) + "/devices";
        BufferBeforeFace face(session, &log);
        const JobReport report = session.RunJob(job, face);
        EXPECT_EQ(report.result, RESULT_ERRORS) << "a blank chip differs from the file";
        ASSERT_FALSE(face.before.empty());
        EXPECT_EQ(std::vector<uint8_t>(session.buffer.data(), session.buffer.data() + session.buffer.size()),
                  face.before);
    }
    std::remove(file.c_str());
}

// What a project keeps of the record in use is what turns the datasheet's
// record back into it: every setting a run may override, each way.
TEST(Job, OverridesOfARecordPutItBack) {
    struct Change {
        const char* what;
        uint8_t DeviceRecord::*field;
        uint8_t datasheet, inUse;
    };
    const Change changes[] = {
        {"wait mode", &DeviceRecord::waitmode, 4, 1},      {"page write on", &DeviceRecord::pagewrite, 0, 1},
        {"page write off", &DeviceRecord::pagewrite, 1, 0}, {"identity check off", &DeviceRecord::idcheck, 1, 0},
        {"verify off", &DeviceRecord::verify, 1, 0},       {"changed-only on", &DeviceRecord::changedonly, 0, 1},
    };
    for (const Change& c : changes) {
        SCOPED_TRACE(c.what);
        DeviceRecord datasheet;
        datasheet.waitmode = 4;
        datasheet.verify = 1;
        datasheet.*(c.field) = c.datasheet;
        DeviceRecord inUse = datasheet;
        inUse.*(c.field) = c.inUse;
        DeviceRecord rebuilt = datasheet;
        ApplyOverrides(OverridesOf(datasheet, inUse), rebuilt);
        EXPECT_EQ(rebuilt.*(c.field), c.inUse);
        // Nothing changed: nothing to override, and the record stays as it is.
        const JobOverrides none = OverridesOf(datasheet, datasheet);
        EXPECT_EQ(none.waitMode, -1);
        EXPECT_FALSE(none.pageWrite || none.byteWrite || none.changedOnly);
        EXPECT_TRUE(none.verify && none.idCheck);
    }
}

}  // namespace
}  // namespace krt
