// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/FillDeviceRecord.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "base/Log.h"
#include "base/TypeCodes.h"

namespace krt {

bool IsWordTypeCode(uint8_t code) {
    return code == 2 || code == 4 || (code >= 0x18 && code <= 0x1B);
}

bool IsPldTypeCode(uint8_t code) { return code >= 5 && code <= 7; }

// "busyflag", "toggle" and "polling" name modes 1 to 3; a single digit 0
// to 4 names its mode directly (ours); any other text is the timer, mode 0.
uint8_t WaitModeFromText(const std::string& text) {
    auto is = [&](const char* word) { return strcasecmp(text.c_str(), word) == 0; };
    if (is("busyflag")) return 1;
    if (is("toggle")) return 2;
    if (is("polling")) return 3;
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '4') return static_cast<uint8_t>(text[0] - '0');
    return 0;
}

void FillDeviceRecord(DeviceRecord& record, ParamFile& file, uint8_t typecode,
                      const std::string& typeKey, const std::string& maker,
                      const std::string& name) {
    record = DeviceRecord{};
    DeviceRecord& r = record;
    r.typecode = typecode;
    r.wordsize = IsWordTypeCode(typecode) ? 1 : 0;

    // The order matters: later steps overwrite earlier ones.
    file.ReadString(r.type, "type", typeKey);
    file.ReadString(r.manufacture, "manufacture", maker);
    file.ReadString(r.name, "name", name);
    file.ReadReal(r.VppR, "Vcc", 5.0);
    file.ReadReal(r.VccR, "Vcc", 5.0);
    file.ReadReal(r.VppW, "Vpp", 5.0);
    file.ReadReal(r.VccW, "Vccp", 5.0);
    if (typecode >= 4 && typecode <= 7) r.VppR = r.VppW;
    file.ReadHex(r.maxsize, "maxsize", 0);
    file.ReadHexByte(r.ahand, "ahand", 0xFF);
    file.ReadHexByte(r.amand, "amand", 0xFF);
    file.ReadHexByte(r.aland, "aland", 0xFF);
    file.ReadHexByte(r.dhand, "dhand", 0xFF);
    file.ReadHexByte(r.dland, "dland", 0xFF);
    file.ReadHexByte(r.ahor, "ahor", 0x00);
    file.ReadHexByte(r.amor, "amor", 0x00);
    file.ReadHexByte(r.alor, "alor", 0x00);
    file.ReadHexByte(r.dhor, "dhor", 0x00);
    file.ReadHexByte(r.dlor, "dlor", 0x00);
    file.ReadTime(r.tpw, "tpw", 1e-6);
    file.ReadTime(r.tpr, "tpr", 1e-6);
    file.ReadDecimal(r.retry, "retry", 1);
    if (r.retry <= 1) r.retry = 1;
    file.ReadHexByte(r.addrlen, "addrlen", 0);
    file.ReadHexByte(r.controlcode, "controlcode", 0);
    int32_t pagesize = file.ReadDecimal("pagesize", 1);
    r.pagesize = pagesize <= 0 ? 1u : static_cast<uint32_t>(pagesize);
    if (IsPldTypeCode(typecode)) {
        file.ReadDecimal(r.ACWBase, "ACWBase", 0);
        file.ReadDecimal(r.ASRBase, "ASRBase", 0);
        file.ReadDecimal(r.SigBase, "SigBase", 0);
        file.ReadDecimal(r.PinNumber, "PinNumber", 0);
        file.ReadDecimal(r.LineNumber, "LineNumber", 0);
        file.ReadDecimal(r.ArrayLen, "ArrayLen", 0);
        // A negative decimal size keeps its bits; the layout check refuses it.
        r.maxsize = static_cast<uint32_t>(file.ReadDecimal("maxsize", 0));
        r.VppR = 12.0;
        // Parts that take no more than a lower level are read at it.
        double readLevel = 0.0;
        if (file.ReadReal(readLevel, "readvpp", 0.0) && readLevel > 0.0) r.VppR = readLevel;
        file.ReadString(r.galpart, "galpart", "");
        if (!file.ReadReal(r.erasevpp, "erasevpp", -1.0) || !(r.erasevpp > 0.0)) r.erasevpp = -1.0;
        std::string counts;
        file.ReadString(counts, "fusecounts", "");
        for (const char* at = counts.c_str(); *at != '\0';) {
            char* end = nullptr;
            const unsigned long n = std::strtoul(at, &end, 10);
            if (end == at) break;
            if (n > 0 && n < r.maxsize) r.fusecounts.push_back(static_cast<uint32_t>(n));
            at = end;
        }
    }
    file.ReadString(r.note, "note", "");
    file.ReadString(r.algol, "algol", "");
    file.ReadBool(r.bwalt, "bwalt", 0);
    r.pagewrite = file.ReadDecimal("pagewrite", 0) != 0;
    for (auto [field, key] : {std::pair{&r.picprog, "picprog"}, std::pair{&r.picgap, "picgap"},
                              std::pair{&r.picsettle, "picsettle"},
                              std::pair{&r.readywait, "readywait"}, std::pair{&r.eraltime, "eraltime"},
                              std::pair{&r.erasepulse, "erasepulse"}, std::pair{&r.galsettle, "galsettle"},
                              std::pair{&r.galentry, "galentry"},
                              std::pair{&r.galdown, "galdown"}, std::pair{&r.erasetime, "erasetime"},
                              std::pair{&r.loadwindow, "loadwindow"}}) {
        // A time that is no number or negative keeps the family's fixed wait.
        if (!file.ReadTime(*field, key, -1.0) || !(*field >= 0.0)) *field = -1.0;
    }
    // Parallel EEPROMs: a file without the key keeps the protection command
    // and hint; the parts without protection say "sdp 0".
    r.sdp = file.ReadDecimal("sdp", 1) != 0;
    // EEPROMs: a file without the key writes every page, as it always did.
    r.changedonly = file.ReadDecimal("changedonly", 0) != 0;
    // 5 V flash: "chipid" is two hex bytes, maker then device.
    std::string chipid;
    if (file.ReadString(chipid, "chipid", "")) {
        unsigned maker = 0, device = 0;
        char tail = 0;
        if (std::sscanf(chipid.c_str(), "%x %x %c", &maker, &device, &tail) == 2 && maker <= 0xFF && device <= 0xFF)
            r.chipid = static_cast<int32_t>(maker << 8 | device);
    }
    r.idconfirmed = file.ReadDecimal("idconfirmed", 1) != 0;
    r.identry = file.ReadDecimal("identry", 3) == 6 ? 6 : 3;
    r.dq5 = file.ReadDecimal("dq5", 0) != 0;
    file.ReadReal(r.a9erase, "a9erase", 0.0);
    if (!(r.a9erase > 0.0)) r.a9erase = 0.0;
    std::string waitmode;
    const bool hasWaitMode = file.ReadString(waitmode, "waitmode", "");

    r.verify = 1;
    r.swap = 0;
    // The completion signal the datasheet names; a file without the key
    // keeps the computer's own 20 ms timer (mode 4).
    r.waitmode = hasWaitMode ? WaitModeFromText(waitmode) : 4;
    r.bytesPerWord = r.wordsize ? 2 : 1;
    if (typecode == 4) {
        r.bufsize = kPicBufferBytes;
        r.maxsize = 0x400;
    } else {
        // Computed wide: a word device of 2^31 words or more would wrap to a
        // buffer far smaller than the device. Such sizes saturate here and
        // CheckDeviceRecord refuses them.
        uint64_t bytes = uint64_t{r.maxsize} * r.bytesPerWord;
        r.bufsize = bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes);
    }
    r.wordaccess = r.wordsize;
}

bool CheckDeviceRecord(const DeviceRecord& r, std::string& reason) {
    reason.clear();
    // A PIC buffer that ends after the configuration words still works; its
    // operations then leave the data EEPROM alone.
    const uint64_t bytes = r.typecode == 4 ? uint64_t{kPicConfigEnd} : uint64_t{r.maxsize} * r.bytesPerWord;
    if (bytes > kMaxDeviceBufferBytes) {
        reason = Format("maxsize %X needs a buffer of %llu bytes, more than %llu", r.maxsize,
                        static_cast<unsigned long long>(bytes),
                        static_cast<unsigned long long>(kMaxDeviceBufferBytes));
        return false;
    }
    if (r.bufsize < bytes) {
        reason = Format("bufsize %u is smaller than maxsize %u needs", r.bufsize, r.maxsize);
        return false;
    }
    if (!IsPldTypeCode(r.typecode)) return true;

    // The fuse image holds maxsize fuses, one buffer byte each.
    const int64_t fuses = r.maxsize;
    if (static_cast<int32_t>(r.maxsize) < 0) {
        reason = Format("maxsize %d is negative", static_cast<int32_t>(r.maxsize));
        return false;
    }
    if (uint64_t{r.maxsize} > r.bufsize) {
        reason = Format("maxsize %u is larger than bufsize %u", r.maxsize, r.bufsize);
        return false;
    }
    const bool serialRows = r.typecode == 7;
    struct Field { const char* name; int32_t value; };
    for (Field f : {Field{"LineNumber", r.LineNumber}, Field{"ArrayLen", r.ArrayLen},
                    Field{"SigBase", r.SigBase}, Field{"ACWBase", r.ACWBase},
                    Field{"ASRBase", r.ASRBase}}) {
        if (f.value < 0) {
            reason = Format("%s %d is negative", f.name, f.value);
            return false;
        }
    }
    // The shift buffer holds 256 bits; serially addressed rows carry six
    // address bits after the data.
    const int32_t maxArrayLen = serialRows ? 250 : 256;
    if (r.ArrayLen > maxArrayLen) {
        reason = Format("ArrayLen %d is more than %d", r.ArrayLen, maxArrayLen);
        return false;
    }
    // Row numbers are six bits; on codes 5 and 6 the signature row is
    // LineNumber itself.
    const int32_t maxLines = serialRows ? 64 : 63;
    if (r.LineNumber > maxLines) {
        reason = Format("LineNumber %d is more than %d", r.LineNumber, maxLines);
        return false;
    }
    // Codes 5 and 6 read 64 columns per line whatever ArrayLen says.
    const int64_t columns = serialRows ? r.ArrayLen : (r.ArrayLen > 64 ? r.ArrayLen : 64);
    if (columns * r.LineNumber > fuses) {
        reason = Format("the array of LineNumber %d x %lld columns does not fit maxsize %u",
                        r.LineNumber, static_cast<long long>(columns), r.maxsize);
        return false;
    }
    if (int64_t{r.SigBase} + 64 > fuses) {
        reason = Format("the 64 signature fuses from SigBase %d do not fit maxsize %u", r.SigBase,
                        r.maxsize);
        return false;
    }
    if (!serialRows && int64_t{r.ACWBase} + 146 > fuses) {
        reason = Format("the architecture word from ACWBase %d (146 fuses) does not fit maxsize %u",
                        r.ACWBase, r.maxsize);
        return false;
    }
    if (serialRows && int64_t{r.ASRBase} + 20 > fuses) {
        reason = Format("the 20 architecture fuses from ASRBase %d do not fit maxsize %u",
                        r.ASRBase, r.maxsize);
        return false;
    }
    return true;
}

}  // namespace krt
