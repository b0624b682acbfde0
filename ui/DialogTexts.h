// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the hardware configuration dialog, the about box and the
// welcome window. The configuration dialog's own controls speak Japanese in
// both languages; its programmer-connection group, the about box and the
// welcome window follow the language.
#pragma once

#include <QString>
#include <cstdint>

namespace krt {

enum class DialogText {
    // Hardware configuration dialog (fixed texts).
    HConfigCaption, RadioGroup1, Port378, Port278, Port3BC, RadioGroup2, Ver1, Ver2,
    GroupBox1, Edit1Initial, Label2, Label1, Label3, Button1,
    // Its programmer-connection group.
    ConnectionGroup, RadioSimulator, RadioPrinterPort, ButtonBlankChip, BlankChipHint,
    BlankChipQuestion, ConnectionHint, SimulatorNotInUse,
    // The clocks that the start-up accepts (%1 and %2: lowest and highest, in
    // MHz), beside the clock field and in the message refusing another.
    ClockRange, ClockRefused,
    // The port-base field below the three presets: its hint and the message
    // refusing a base no printer port can have.
    PortBaseHint, PortBaseRefused,
    // OK refused while no power-circuit version is chosen.
    VersionRequired,
    // About box.
    AboutCaption, ProductName, VersionPrefix, AboutLine1, AboutLine2, AboutClose,
    // Welcome window.
    WelcomeCaption, WelcomeClose,
    PortTip, VersionTip, ClockTip,
    Count
};

// language 0 Japanese, 1 English (any other value reads as English).
QString DialogTextOf(uint32_t language, DialogText text);

// The welcome window's text, one line per line, ending in an empty line.
QString WelcomeText(uint32_t language);

}  // namespace krt
