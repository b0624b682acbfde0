// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "catalogue/DeviceRecord.h"
#include "data/DataBuffer.h"

namespace krt {
namespace {

TEST(ParseHex, SkipsEverythingButDigits) {
    EXPECT_EQ(ParseHex("0x1F"), 0x1Fu);  // the x is skipped, not the 0
    EXPECT_EQ(ParseHex("1F"), 0x1Fu);
    EXPECT_EQ(ParseHex("1f"), 0x1Fu);
    EXPECT_EQ(ParseHex("------"), 0u);
    EXPECT_EQ(ParseHex(""), 0u);
    EXPECT_EQ(ParseHex("12 34"), 0x1234u);
    EXPECT_EQ(ParseHex("g1h2"), 0x12u);
    // More than eight digits keep the low 32 bits.
    EXPECT_EQ(ParseHex("123456789"), 0x23456789u);
}

DeviceRecord Device(uint32_t maxsize, uint32_t bufsize, uint8_t typecode) {
    DeviceRecord r;
    r.maxsize = maxsize;
    r.bufsize = bufsize;
    r.typecode = typecode;
    return r;
}

TEST(ClearBuffer, BlankValueByTypeCode) {
    OperationRange range;
    DataBuffer buffer;
    ASSERT_TRUE(buffer.Allocate(0x8000));
    std::fill(buffer.data(), buffer.data() + buffer.size(), 0x12);
    ClearBuffer(buffer, Device(0x8000, 0x8000, 0), range);
    for (uint32_t i = 0; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xFF) << i;
    EXPECT_EQ(range.start, "000000");
    EXPECT_EQ(range.end, "007FFF");
    EXPECT_EQ(range.length, "008000");

    ASSERT_TRUE(buffer.Allocate(0x4010));
    ClearBuffer(buffer, Device(0x400, 0x4010, 4), range);
    for (uint32_t i = 0; i < buffer.size(); i += 2) {
        ASSERT_EQ(buffer[i], 0x3F) << i;
        ASSERT_EQ(buffer[i + 1], 0xFF) << i;
    }
    EXPECT_EQ(range.end, "0003FF");

    for (uint8_t pld : {5, 6, 7}) {
        ASSERT_TRUE(buffer.Allocate(5892));
        std::fill(buffer.data(), buffer.data() + buffer.size(), 0xFF);
        ClearBuffer(buffer, Device(5892, 5892, pld), range);
        for (uint32_t i = 0; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0x00) << i;
    }
}

TEST(ClearBuffer, NothingWithoutDeviceOrBuffer) {
    OperationRange range;
    DataBuffer buffer;
    ClearBuffer(buffer, Device(0x8000, 0x8000, 0), range);  // no buffer
    EXPECT_EQ(range.end, "FFFFFF");
    ASSERT_TRUE(buffer.Allocate(16));
    buffer[0] = 0x55;
    ClearBuffer(buffer, Device(0, 16, 0), range);  // maxsize 0
    EXPECT_EQ(buffer[0], 0x55);
    EXPECT_EQ(range.length, "------");
}

struct RangeCase {
    const char* s;
    const char* e;
    const char* n;
};

OperationRange Range(RangeCase c) {
    OperationRange r;
    r.start = c.s;
    r.end = c.e;
    r.length = c.n;
    return r;
}

TEST(OperationRange, CommitStartDerivesEndThenBounds) {
    struct Case {
        RangeCase typed, committed;
    };
    const Case cases[] = {
        // A start beyond the device: the last word.
        {{"9000", "7FFF", "8000"}, {"007FFF", "007FFF", "000001"}},
        {{"100", "7FFF", "whatever"}, {"000100", "007FFF", "007F00"}},
        // A start above the end: the end follows from the length, which stays.
        {{"100", "50", "10"}, {"000100", "00010F", "000010"}},
        // ... unless that end falls below the start: the length never wraps
        // to billions of words.
        {{"200", "100", "0"}, {"000200", "000200", "000001"}},
    };
    for (const Case& c : cases) {
        OperationRange r = Range(c.typed);
        r.CommitStart(0x8000);
        EXPECT_EQ(r.start, c.committed.s) << c.typed.s << " " << c.typed.e << " " << c.typed.n;
        EXPECT_EQ(r.end, c.committed.e) << c.typed.s << " " << c.typed.e << " " << c.typed.n;
        EXPECT_EQ(r.length, c.committed.n) << c.typed.s << " " << c.typed.e << " " << c.typed.n;
    }
}

TEST(OperationRange, CommitEnd) {
    OperationRange r = Range({"100", "50", "x"});
    r.CommitEnd(0x8000);
    EXPECT_EQ(r.end, "000100");
    EXPECT_EQ(r.length, "000001");

    r = Range({"0", "FFFFFF", ""});
    r.CommitEnd(0x8000);
    EXPECT_EQ(r.end, "007FFF");
    EXPECT_EQ(r.length, "008000");
}

TEST(OperationRange, CommitLength) {
    OperationRange r = Range({"7000", "", "2000"});
    r.CommitLength(0x8000);
    EXPECT_EQ(r.length, "001000");
    EXPECT_EQ(r.end, "007FFF");

    r = Range({"0", "", "FFFFFFFF"});
    r.CommitLength(0x8000);
    EXPECT_EQ(r.length, "008000");
    EXPECT_EQ(r.end, "007FFF");

    // A start above the device (typed, never committed): length 0, not a
    // wrapped maxsize - start.
    r = Range({"9000", "", "10"});
    r.CommitLength(0x8000);
    EXPECT_EQ(r.start, "009000");
    EXPECT_EQ(r.length, "000000");
}

TEST(OperationRange, BusyFlagStopsNestedCommits) {
    OperationRange r = Range({"10", "20", "11"});
    int rewrites = 0;
    r.onRewrite = [&](const OperationRange& self) {
        ++rewrites;
        EXPECT_TRUE(self.Busy());
        // The window's field-change handlers commit again while it rewrites.
        const std::string written = self.start;
        r.start = "7";
        r.CommitStart(0x8000);
        r.CommitEnd(0x8000);
        r.CommitLength(0x8000);
        r.start = written;
    };
    r.CommitEnd(0x8000);
    EXPECT_EQ(rewrites, 1);
    EXPECT_FALSE(r.Busy());
    EXPECT_EQ(r.start, "000010");
    EXPECT_EQ(r.length, "000011");
}

TEST(OperationRange, NoDeviceNoChange) {
    OperationRange r = Range({"10", "20", "11"});
    r.CommitStart(0);
    r.CommitEnd(0);
    r.CommitLength(0);
    EXPECT_EQ(r.start, "10");
    EXPECT_EQ(r.length, "11");
}

}  // namespace
}  // namespace krt
