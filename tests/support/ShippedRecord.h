// SPDX-License-Identifier: GPL-3.0-or-later
// A device record of the catalogue shipped in the source tree, loaded as the
// window loads it (the list is read once per test program).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "catalogue/DeviceLoader.h"

namespace krt::test {

inline DeviceRecord ShippedRecord(const std::string& type, const std::string& maker, const std::string& name) {
    static Catalogue catalogue;
    if (!catalogue.list.loaded) {
        EXPECT_TRUE(OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", nullptr, catalogue));
    }
    DeviceRecord record;
    EXPECT_TRUE(LoadDeviceRecord(catalogue.list, catalogue.directory, type, maker, name, 1, nullptr, record)
                    .selected)
        << type << " " << maker << " " << name;
    return record;
}

}  // namespace krt::test
