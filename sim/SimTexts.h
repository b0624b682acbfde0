// SPDX-License-Identifier: GPL-3.0-or-later
// Every text the simulated programmer shows to people, in one table.
#pragma once

namespace krt {

// Banner and descriptions.
inline constexpr const char* kSimTextBanner =
    "simulated programmer in use: KRT1 revision %02X, KRT2 revision %02X, crystal %.6g MHz, socket: %s%s";
inline constexpr const char* kSimTextChipDescription = "%s %s (%lu x %d bits)%s";
inline constexpr const char* kSimTextDamaged = ", destroyed by over-voltage";
inline constexpr const char* kSimTextEmptySocket = "empty";
inline constexpr const char* kSimTextFaultsPrefix = "; faults: ";
inline constexpr const char* kSimTextChipFileLater = "empty until a device is chosen (chip file %s)";
// The banner in Japanese (--lang ja): the same fields as kSimTextBanner.
inline constexpr const char* kSimTextBannerJa =
    "シミュレートしたプログラマを使います: KRT1リビジョン %02X、KRT2リビジョン %02X、水晶 %.6g MHz、ソケット: %s%s";
inline constexpr const char* kSimTextEmptySocketJa = "空";
inline constexpr const char* kSimTextFaultsPrefixJa = "、故障: ";
inline constexpr const char* kSimTextChipFileLaterJa = "デバイスを選ぶまで空（チップファイル %s）";

// Chips and the socket.
inline constexpr const char* kSimTextOtpNoErase = "a one-time PROM has no window: it cannot be erased";
inline constexpr const char* kSimTextNoErase = "this chip cannot be erased by UV light";
inline constexpr const char* kSimTextNoModel =
    "no simulated chip of type \"%s\" (type code %02X) yet: the socket stays empty";
inline constexpr const char* kSimTextBadSize = "device %s has %lu addresses; the simulated EPROM holds 1 to 16M";

// Chip files.
inline constexpr const char* kSimTextChipFileOpen = "cannot open chip file %s: %s";
inline constexpr const char* kSimTextChipFileWrite = "cannot write chip file %s: %s";
inline constexpr const char* kSimTextChipFileNotChip = "%s is not a simulated chip file";
inline constexpr const char* kSimTextChipFileVersion = "chip file %s has version %s; this program reads version %s";
inline constexpr const char* kSimTextChipFileCorrupt = "chip file %s is damaged (%s)";
inline constexpr const char* kSimTextBadConfig = "the socket configuration is not two hexadecimal digits:";
inline constexpr const char* kSimTextChipFileBadContents = "the contents do not fit the chip";
inline constexpr const char* kSimTextChipFileOtherDevice =
    "chip file %s holds the %s %s, not the selected %s %s; use another chip file";
inline constexpr const char* kSimTextUnknownKind = "a chip of unknown kind \"%s\"";
inline constexpr const char* kSimTextOtherSocket =
    "chip file %s puts the chip in socket configuration %s, but the %s %s uses %s; correct its \"value config\" line "
    "or use another chip file";

// Options.
inline constexpr const char* kSimTextBadRevisions = "--sim-revisions wants two hexadecimal bytes, KRT1,KRT2 (e.g. 20,10): %s";
inline constexpr const char* kSimTextUnknownFault = "unknown simulator fault \"%s\"; known faults: %s";
inline constexpr const char* kSimTextBadFaultArgs = "simulator fault \"%s\": %s";
inline constexpr const char* kSimTextFaultList =
    "no-programmer-high, no-programmer-low, stays-busy, empty-socket, weak-cells:ADDR[,ADDR...][@PULSES], "
    "dead-cells:ADDR[,ADDR...], crystal:HZ";
inline constexpr const char* kSimTextNeedsAddresses = "needs hexadecimal cell addresses";
inline constexpr const char* kSimTextNeedsPulses = "the pulse count after @ must be 1 to 255";
inline constexpr const char* kSimTextNeedsHz = "needs the crystal frequency in Hz (e.g. crystal:8000000)";
inline constexpr const char* kSimTextNoArgs = "takes no arguments";
inline constexpr const char* kSimTextFaultOtherChip = "simulator fault \"%s\": the chip in the socket (%s) does not know it";
inline constexpr const char* kSimTextFaultIsFor = "; it is for %s";
inline constexpr const char* kSimTextWeakCellChips = "EPROMs, OTP PROMs, parallel EEPROMs, flash and PICs";
inline constexpr const char* kSimTextDeadCellChips =
    "EPROMs, OTP PROMs, parallel EEPROMs, flash, serial EEPROMs and PICs";
inline constexpr const char* kSimTextFaultNoChip =
    "simulator fault \"%s\": the socket holds no chip to take it (it is for %s; name a device or a chip file)";
inline constexpr const char* kSimTextChipFaultLater = "%s: applies to the chip when one of its kind is in the socket";

// Breaches of the wire protocol, one line per kind.
inline constexpr const char* kSimTextBreachFrameWhileBusy =
    "protocol breach: a frame was strobed while the programmer was busy (%s; a missing wait for ready)";
inline constexpr const char* kSimTextBreachReplyBeforeReady =
    "protocol breach: reply slots were read before the programmer reported the fetch done (a missing wait for "
    "ready after DLREAD/DHREAD)";
inline constexpr const char* kSimTextBreachOtherConfig =
    "protocol breach: a write strobe reached the %s while DEVSET held %02X, not its socket configuration %02X";
inline constexpr const char* kSimTextBreachSupply =
    "protocol breach: Vcc %.2f V / Vpp %.2f V exceeds the absolute maximum of the %s (Vcc %.2f V, Vpp %.2f V)";
inline constexpr const char* kSimTextBreachSupplyOrder =
    "protocol breach: Vpp %.2f V reached the %s while its Vcc was %.2f V, below its operating minimum of %.2f V "
    "(Vcc must come up before Vpp and go down after it)";
inline constexpr const char* kSimTextBusyPulse = "a write pulse was running";
inline constexpr const char* kSimTextBusyFetch = "a read cycle was running";
inline constexpr const char* kSimTextBusyTimer = "the timer was running";

// Command line.
inline constexpr const char* kSimTextEraseNeedsChip = "sim-erase needs --sim-chip FILE";
inline constexpr const char* kSimTextErased = "chip file %s: %s erased";
inline constexpr const char* kSimTextEraseRefused = "chip file %s: %s";
inline constexpr const char* kSimTextNoChipFile = "chip file %s does not exist";

}  // namespace krt
