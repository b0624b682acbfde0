// SPDX-License-Identifier: GPL-3.0-or-later
// Selecting a device: the list entry, its parameter file and a fresh device
// record, with the status messages the main window logs. Used by the window
// and by krt alike. Sizing and clearing the data buffer is the caller's.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/DeviceList.h"
#include "catalogue/DeviceRecord.h"
#include "base/LogSink.h"

namespace krt {

// The device list and the directory it came from.
struct Catalogue {
    std::string directory;   // empty when no DEVICE.LST was found
    std::string listPath;
    DeviceList list;          // list.loaded tells whether it was read
};

// Finds DEVICE.LST (see FindCatalogueDirectory) and reads it; the per-line
// errors go to log. False when no list was found or it did not open.
bool OpenCatalogue(const std::string& overrideDir, LogSink* log, Catalogue& out);

// What a load found, beside the record.
struct DeviceLoadResult {
    bool selected = false;        // the record is filled and passed its checks
    uint32_t paramStatus = 0;     // ParamFile status bits
    std::string path;             // the parameter file as opened
    int32_t entry = 0;            // index in the list (list.count: no entry)
};

// Loads the device (typeKey, maker, name; compared without regard to case)
// into `record`, which is replaced by a fresh record first and stays empty
// on any failure. Logs, in `language`, message 16 on success, 17, 18 and 20
// for the parameter-file failures, and a refusal line when the record's
// sizes or GAL layout do not fit.
DeviceLoadResult LoadDeviceRecord(const DeviceList& list, const std::string& catalogueDir,
                                  const std::string& typeKey, const std::string& maker,
                                  const std::string& name, uint32_t language, LogSink* log,
                                  DeviceRecord& record);

}  // namespace krt
