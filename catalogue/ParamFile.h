// SPDX-License-Identifier: GPL-3.0-or-later
// A device parameter file: "device" sections of TAB-separated key and value
// lines, read by typed lookups.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace krt {

// Value forms of the parameter keys, usable on their own.
uint32_t ParamHexValue(std::string_view text);
int32_t ParamDecimalValue(std::string_view text);
double ParamRealValue(std::string_view text);
double ParamTimeValue(std::string_view text);
bool ParamBoolValue(std::string_view text);  // "true", "on", "yes" in any case

// The tokens of one line: spaces and TABs before a token are skipped, a
// token runs to the next TAB (which is consumed) or the line end, and its
// trailing white space is removed.
std::vector<std::string> ParamTokens(std::string_view line);

class ParamFile {
public:
    enum Status : uint32_t {
        kOpenFailedNamed = 1,   // did not open and the path is not empty
        kDeviceMissing = 2,     // no "device" line for the device name
        kKeyMissing = 4,        // a lookup did not find its key
        kNoMemory = 8,          // a working buffer could not be allocated
        kOpenFailed = 16,       // did not open
    };

    // Opens the file (never creates it) and finds the device's section.
    ParamFile(const std::string& path, const std::string& device);
    // The same on the text of a file (a file that opened).
    static ParamFile FromText(std::string_view text, const std::string& device);

    uint32_t status() const { return status_; }
    const std::string& path() const { return path_; }
    const std::string& device() const { return device_; }

    // Typed lookups: true when the key is in the device's section; else the
    // field receives the default. A hex byte keeps the low 8 bits.
    bool ReadHexByte(uint8_t& field, std::string_view key, uint8_t fallback);
    bool ReadHex(uint32_t& field, std::string_view key, uint32_t fallback);
    bool ReadReal(double& field, std::string_view key, double fallback);
    bool ReadDecimal(int32_t& field, std::string_view key, int32_t fallback);
    int32_t ReadDecimal(std::string_view key, int32_t fallback);
    // A present key with a value other than true/on/yes leaves the field
    // alone and returns false; an absent key stores the default.
    bool ReadBool(uint8_t& field, std::string_view key, uint8_t fallback);
    bool ReadTime(double& field, std::string_view key, double fallback);
    bool ReadString(std::string& field, std::string_view key, std::string_view fallback);

    // The raw value of a key in the device's section (its second token).
    bool FindValue(std::string_view key, std::string& value);

private:
    ParamFile() = default;
    void Open(std::string_view text);
    // Index of the line after the device's "device" line, or lines_.size()+1.
    std::size_t SectionStart() const;

    uint32_t status_ = 0;
    std::string device_;
    std::string path_;
    // The file's lines, each cut to 254 characters. Every lookup scans them
    // again from the first line, as a lookup on the file would.
    std::vector<std::string> lines_;
};

}  // namespace krt
