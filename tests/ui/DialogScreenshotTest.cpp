// SPDX-License-Identifier: GPL-3.0-or-later
// Writes pictures of the dialogs into the manual's pictures beside the
// programs; checks only that each was written.
#include <gtest/gtest.h>

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include "DialogTestSupport.h"
#include "UiTestSupport.h"
#include "TAboutBox.h"
#include "THConfigForm.h"
#include "TWelcomeForm.h"
#include "ui/TWConfigForm.h"

namespace krt {
namespace {

bool Shoot(QWidget& window, const char* name) {
    window.show();
    QApplication::processEvents();
    const QString dir = test::PictureDirectory();
    QDir().mkpath(dir);
    const bool saved = window.grab().save(dir + u'/' + QString::fromLatin1(name) + QStringLiteral(".png"));
    window.hide();
    return saved;
}

TEST(DialogScreenshots, EveryDialogInBothLanguages) {
    dialogtest::DialogFixture fixture;
    DeviceRecord record;
    record.name = "93C46";
    record.type = "SEEPROM";
    record.manufacture = "Microchip";
    record.typecode = 2;
    record.addrlen = 6;
    record.maxsize = 0x40;
    record.pagesize = 0x10;
    record.tpw = 1e-4;
    record.tpr = 1e-6;
    record.retry = 1;
    record.verify = 1;
    record.wordsize = record.wordaccess = record.bwalt = 1;
    record.VccR = record.VccW = record.VppR = record.VppW = 5.0;
    record.ahand = record.amand = record.aland = record.dhand = record.dland = 0xFF;
    record.note = "ORG pin to Vcc";
    TWConfigForm editor;
    editor.SetRecord(&record);
    editor.Fill();
    EXPECT_TRUE(Shoot(editor, "param-editor"));
    editor.SetLanguage(1);
    EXPECT_TRUE(Shoot(editor, "param-editor-en"));

    dialogtest::FakeShell shell;
    shell.link.clockFrequency = 4000000;
    shell.link.portBase = 0x378;
    shell.link.powerCircuitVersion = 2;
    shell.link.krt1Revision = 1;
    shell.link.krt2Revision = 2;
    for (uint32_t language : {0u, 1u}) {
        const std::string suffix = language == 0 ? "-ja" : "-en";
        shell.link.language = language;  // the dialog takes the link's language when shown
        THConfigForm config(shell);
        EXPECT_TRUE(Shoot(config, ("hconfig" + suffix).c_str()));
        TAboutBox about;
        about.SetLanguage(language);
        EXPECT_TRUE(Shoot(about, ("about" + suffix).c_str()));
        TWelcomeForm welcome;
        welcome.SetLanguage(language);
        EXPECT_TRUE(Shoot(welcome, ("welcome" + suffix).c_str()));
    }
}

}  // namespace
}  // namespace krt
