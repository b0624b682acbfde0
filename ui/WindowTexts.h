// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the main window's controls in both languages, and the
// progress dialog's own texts (Japanese in both languages).
#pragma once

#include <QString>
#include <cstdint>

#include "base/Texts.h"

namespace krt {

enum class WindowText {
    Label8,
    ToolButton9Hint, ToolButton10Hint, ToolButton11Hint, ToolButton12Hint, ToolButton13Hint,
    ToolButton14Hint, ToolButton15Hint, ToolButton17Hint, ToolButton19Hint, ToolButton20Hint,
    GroupBox1, Label5, Label6, Label7,
    ComboBox1Placeholder, ComboBox2Placeholder, ComboBox3Placeholder,
    Button1, GroupBox2, Label1, Label2, Label3, Label4,
    File1, File1Hint, FileNewItem, FileOpenItem, FileSaveItem, FileSaveAsItem, L1, J1, E1,
    FileExitItem,
    pu1, shinki1, Open1, Save1, SaveAs1, N15,
    N2, T1, V1, T2, N12,
    O1, N4, K1, N5, N6, N7, N8, N10, N16,
    B1, D1,
    N3, N14, N13, S1,
    Help1, HelpContentsItem, HelpAboutItem,
    OneTimePromType,  // the last device-type item of ComboBox1
    SdpOff, SdpOn,    // the Device menu's protection commands
    Flash5vType,      // our device-type item after the system's, the 5 V flash
    Identify,         // Device > Identify: the product ID of the chip in the socket
    FileMergeItem,    // File > Merge: a file laid over the buffer
    Compare,          // Operation > Compare: the chip's differences from the buffer
    CheckChip,        // Device > Check chip: is the chip what its label says
    SramType,         // our device-type item after the 5 V flash, the static RAMs
    Count
};

// One of our text pairs in the window's language (0 Japanese, 1 English).
inline QString TextIn(const TextPair& pair, uint32_t language) { return QString::fromUtf8(InLanguage(pair, language)); }

// language 0 Japanese, 1 English (any other value reads as English).
QString WindowTextOf(uint32_t language, WindowText text);

// The device-type items of ComboBox1 after the placeholder, in order: the
// system's seven (the last one "One Time PROM"), then ours (the 5 V flash,
// the static RAMs).
inline constexpr int kSystemDeviceTypeCount = 7;
inline constexpr int kDeviceTypeCount = 9;
QString DeviceTypeItem(uint32_t language, int index);

// The device-type key of a ComboBox1 text; empty for the placeholder or any
// other text. Compared whole and case-sensitively.
QString TypeKeyOf(const QString& text);
// The Type box's item of a catalogue type key ("FLASH5V": "5V FLASHROM");
// the key itself when no item names it.
QString TypeItemOf(uint32_t language, const QString& key);

// Texts of the hint-less toolbar buttons and the window caption (which
// ends in the build's version number, ProgramVersionNumber()).
inline constexpr const char* kCaptionPrefix = "KRTwin ver";
inline constexpr const char* kSimulatorSuffix = " [simulator]";

// The progress dialog's texts: these Japanese ones in Japanese, English
// ones of ours in English.
inline constexpr const char* kProgressCancel = "キャンセル";
inline constexpr const char* kProgressFinished = "終了";
QString ProgressCancelText(uint32_t language);
QString ProgressFinishedText(uint32_t language);
// The count line: "position/maximum (percent%)" and "done"; the first one
// shows a bare 0 %, the later ones the percent in three places.
QString ProgressStartText(uint32_t language, int maximum);
QString ProgressCountText(uint32_t language, int position, int maximum);

// The message box when DEVICE.LST does not open (both languages).
QString DeviceListFailedText();

// The log and message texts of the port choice, chosen for this program.
QString SimulatorInUseText(uint32_t language);
QString PortFailedText(uint32_t language, const QString& port, const QString& reason);

// The log line after a data file was refused (reason: the message box's
// text): the buffer is as it was.
QString NotReadLogText(uint32_t language, const QString& file, const QString& reason);
// The data file named on krtwin's command line waits for a device.
QString OpenOnceSelectedText(uint32_t language, const QString& file);

// The parallel EEPROM's software data protection from the Device menu:
// refused for any other device; the box after a write that stopped at a
// page that kept its old data; the log line of a command that failed
// (reason: the result text).
QString ProtectionOnlyEepromText(uint32_t language);
QString ProtectionSuspectedText(uint32_t language);
QString ProtectionFailedText(uint32_t language, const QString& reason);

// Why an operation cannot run on the device (named by device), said
// before the user is asked for the chip: code is the request code, outcome
// the known result (unsupported, or not implemented yet).
QString KnownOutcomeText(uint32_t language, uint8_t code, uint8_t outcome, const QString& device);

// The log pane's context menu item, and the box when the log cannot be saved.
QString SaveLogMenuText(uint32_t language);
QString SaveLogFailedText(uint32_t language, const QString& path, const QString& reason);

// The progress dialog's estimate of the time left, in seconds.
QString TimeLeftText(uint32_t language, qint64 seconds);

// The question when the main window is closed while an operation runs.
QString QuitWhileRunningText(uint32_t language);

// The device in use, as the status bar, the title bar and the operations'
// questions name it: its type as the Type box shows it, maker and part.
QString TypeItemOfKey(uint32_t language, const QString& key);
QString DeviceNameText(uint32_t language, const QString& typeKey, const QString& maker, const QString& name);
QString DeviceInUseText(uint32_t language, const QString& device);
// Why an operation that changes the chip is refused while the lists show
// another device than the one in use (both as DeviceNameText gives them).
QString ListsDifferText(uint32_t language, const QString& lists, const QString& inUse);

// File > New while the buffer holds data read from a chip and not saved.
QString DiscardUnsavedText(uint32_t language);

// The language of a first run (no language stored yet): Japanese for a
// Japanese locale (LANG=ja_JP.UTF-8), English for any other.
uint32_t LanguageOfLocale(const QString& localeName);

// Qt's own texts (standard buttons, file dialogs) in the chosen language:
// Japanese loads Qt's qtbase_ja translation from Qt's translations folder,
// English removes it. False when the Japanese file is not there (Qt's
// texts stay English then).
bool UseQtTranslations(uint32_t language);

}  // namespace krt
