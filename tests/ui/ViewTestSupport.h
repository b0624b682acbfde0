// SPDX-License-Identifier: GPL-3.0-or-later
// The views' tests stand on a session of their own: a device loaded from
// the shipped catalogue into the session's record, buffer and range, and
// (for the debug window) the simulated programmer, traced.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableWidget>
#include <cstdio>
#include <string>

#include "UiTestSupport.h"
#include "catalogue/DeviceLoader.h"
#include "data/DataBuffer.h"
#include "session/Session.h"

namespace krt::test {

inline void Pump(int ms = 20) {
    QElapsedTimer t;
    t.start();
    do QApplication::processEvents(QEventLoop::AllEvents, 5);
    while (t.elapsed() < ms);
}

// Loads the device into the session as the window's device selection does:
// the record, a new buffer cleared to the blank value, the range over all of it.
inline bool LoadIntoSession(Session& session, const char* type, const char* maker, const char* name) {
    Catalogue catalogue;
    if (!OpenCatalogue(KRT_BINARY_DIR "/bin", nullptr, catalogue)) return false;
    if (!LoadDeviceRecord(catalogue.list, catalogue.directory, type, maker, name, 1, nullptr, session.record)
             .selected)
        return false;
    if (!session.buffer.Allocate(session.record.bufsize)) return false;
    ClearBuffer(session.buffer, session.record, session.range);
    return true;
}

inline QString Cell(const QTableWidget* grid, int row, int column) {
    const QTableWidgetItem* item = grid->item(row, column);
    return item ? item->text() : QString();
}

// A traced simulated programmer: every register access lands in a file.
struct TracedSession {
    // Closed after the session is gone.
    struct TraceFile {
        std::FILE* file = std::tmpfile();
        ~TraceFile() { std::fclose(file); }
    } traceFile;
    std::FILE* trace = traceFile.file;
    Session session;
    explicit TracedSession(uint8_t powerCircuit = 2, bool detect = true, uint32_t language = 0) {
        session.SetTrace(trace);
        std::string error;
        EXPECT_TRUE(session.OpenBackend("sim", 0x378, error)) << error;
        SessionSettings settings;
        settings.clock = 2000000;
        settings.powerCircuit = powerCircuit;
        settings.language = language;
        if (detect) session.StartUp(settings);
        else session.Configure(settings);
    }
    long Mark() {
        std::fflush(trace);
        return std::ftell(trace);
    }
    // The accesses since the mark, one "W 0378 0A" or "R 0379 40" a line.
    std::string Since(long mark) {
        std::fflush(trace);
        const long end = std::ftell(trace);
        std::string text(static_cast<size_t>(end - mark), '\0');
        std::fseek(trace, mark, SEEK_SET);
        const size_t n = std::fread(text.data(), 1, text.size(), trace);
        text.resize(n);
        std::fseek(trace, 0, SEEK_END);
        return text;
    }
};

}  // namespace krt::test
