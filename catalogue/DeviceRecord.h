// SPDX-License-Identifier: GPL-3.0-or-later
// The parameters of the chosen device, filled from its parameter file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace krt {

struct DeviceRecord {
    std::string name;
    std::string type;
    std::string manufacture;
    std::string note;
    std::string algol;
    uint32_t maxsize = 0;
    uint32_t bufsize = 0;
    uint32_t pagesize = 0;
    double tpw = 0.0;
    double tpr = 0.0;
    uint8_t waitmode = 0;
    int32_t retry = 0;
    uint8_t verify = 0;
    uint8_t swap = 0;
    uint8_t wordsize = 0;
    uint8_t wordaccess = 0;
    uint8_t bwalt = 0;
    uint8_t bytesPerWord = 1;
    uint8_t typecode = 0;
    uint8_t ahand = 0, ahor = 0, amand = 0, amor = 0, aland = 0, alor = 0, dhand = 0, dhor = 0,
            dland = 0, dlor = 0;
    double VppR = 0.0;
    double VccR = 0.0;
    double VppW = 0.0;
    double VccW = 0.0;
    uint8_t addrlen = 0;
    uint8_t controlcode = 0;
    int32_t ACWBase = 0, ASRBase = 0, SigBase = 0, PinNumber = 0, LineNumber = 0, ArrayLen = 0;
    // Ours: a two-wire serial EEPROM is written a page per write cycle
    // (key "pagewrite", 0 or 1; 0 writes a byte per cycle).
    uint8_t pagewrite = 0;
    // Ours: a parallel EEPROM has software data protection (key "sdp", 0 or
    // 1; 1 when the key is missing). Without it every write strobe starts a
    // byte write, so the protection sequences would overwrite data.
    uint8_t sdp = 1;
    // Ours: datasheet waits, in seconds. A negative value means the key was
    // absent: the family then waits its own fixed time, as it always has.
    // PIC: the programming cycle after begin programming ("picprog") and
    // the gap after each 6-bit command ("picgap"), and the wait for the
    // programmer's supplies before the socket is wired for program mode
    // ("picsettle").
    double picprog = -1.0;
    double picgap = -1.0;
    double picsettle = -1.0;
    // Three-wire serial EEPROM: the wait after a write or erase before DO is
    // polled for ready ("readywait"), and erase-all: present, a whole-chip
    // erase is one ERAL instruction followed by this wait ("eraltime").
    double readywait = -1.0;
    double eraltime = -1.0;
    // GAL: the erase pulse ("erasepulse"; absent: tpw), the settle time
    // after the supplies are switched ("galsettle") and the wait for the
    // edit mode after the configuration is wired ("galentry"), and the
    // wait before the power goes off after a write, erase or stop
    // ("galdown").
    double erasepulse = -1.0;
    double galsettle = -1.0;
    double galentry = -1.0;
    double galdown = -1.0;
    // Ours, GAL: the programming algorithm of a part that is not Lattice's
    // ("galpart": ATF16V8B, ATF16V8C, ATF20V8B, ATF22V10B or ATF22V10C;
    // empty: the Lattice algorithm), the erase voltage ("erasevpp"; absent,
    // negative: Vpp), and the fuse counts a JEDEC file for the device may
    // also have ("fusecounts", decimal, smaller than maxsize: the fuses
    // after them keep the file's default state).
    std::string galpart;
    double erasevpp = -1.0;
    std::vector<uint32_t> fusecounts;
    // Ours: a write or erase first reads what the chip says of itself (a
    // PIC's device ID, a flash's identifier, a GAL's signature) and refuses
    // another part; 0 skips that (krt --no-id-check, the editor's check box).
    uint8_t idcheck = 1;
    // Ours: a write reads each page (or word) of an EEPROM first and writes
    // only those whose content differs from the buffer (key "changedonly",
    // 0 or 1; 0 when the key is missing; krt --changed-only). Parallel and
    // serial EEPROMs.
    uint8_t changedonly = 0;
    // Ours, 5 V command-set flash (type "FLASH5V"): the product ID the
    // datasheet gives ("chipid", maker and device code in hex, "BF B5"),
    // maker << 8 | device, -1 without the key; whether that ID is confirmed
    // by the datasheet itself ("idconfirmed", default 1: a difference is
    // then refused, else warned about); the ID entry ("identry" 3 for
    // 5555/90, 6 for Winbond's 80 .. 60 form); the AMD time-limit bit
    // ("dq5", 0 or 1); the longest chip erase ("erasetime"; absent: the
    // part has no chip-erase command and is erased by writing FF) and the
    // page-mode byte-load window ("loadwindow", tBLC). Page mode itself is
    // "pagewrite 1" with "pagesize".
    int32_t chipid = -1;
    uint8_t idconfirmed = 1;
    uint8_t identry = 3;
    uint8_t dq5 = 0;
    double erasetime = -1.0;
    double loadwindow = -1.0;
    // Ours: an electrically erasable EPROM (Winbond W27C, SST27SF) is erased
    // with this voltage on A9 as well as on its Vpp pin ("a9erase", volts;
    // 0 for every other part). No socket configuration of this programmer
    // puts a high voltage on A9, so such an erase is refused before power-up.
    double a9erase = 0.0;

    // Field by field, so that a new field takes part without a change here.
    bool operator==(const DeviceRecord&) const = default;
};

}  // namespace krt
