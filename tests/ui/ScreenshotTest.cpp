// SPDX-License-Identifier: GPL-3.0-or-later
// Writes PNGs of the main window and the parameter editor in both languages,
// the progress dialog and the views into the manual's pictures beside the
// programs: the manual shows what the current build shows.
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressBar>
#include <iostream>

#include "TForm3.h"
#include "THDebugForm.h"
#include "TManualForm.h"
#include "UiTestSupport.h"
#include "ViewTestSupport.h"
#include "ui/TWConfigForm.h"
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace krt::test {
namespace {

class Screenshot : public WindowTest {
protected:
    QString Out(const char* name) {
        QDir().mkpath(PictureDirectory());
        return PictureDirectory() + QLatin1Char('/') + QString::fromLatin1(name);
    }
    void Grab(QWidget& w, const char* name) {
        Settle(50);
        const QPixmap pm = w.grab();
        EXPECT_FALSE(pm.isNull());
        EXPECT_TRUE(pm.save(Out(name)));
        // The manual's copy, kept in the tree, still shows this window.
        const QImage kept(QStringLiteral(KRT_SOURCE_DIR "/docs/manual/images/") + QString::fromLatin1(name));
        if (!kept.isNull()) {
            EXPECT_EQ(kept.size(), pm.size()) << name << " no longer matches the window: renew it with tools/manual-pictures";
        }
        std::cout << "[screenshot] " << Out(name).toStdString() << " " << pm.width() << "x"
                  << pm.height() << "\n";
    }
};

TEST_F(Screenshot, Windows) {
    for (int language : {1, 0}) {
        WriteValidSettings(language);
        Start();
        form->show();
        Settle();
        Select(language ? QStringLiteral("EPROM") : QStringLiteral("EPROM"), QStringLiteral("Intel"),
               QStringLiteral("27C256"));
        ASSERT_TRUE(form->DeviceSelected());
        Grab(*form, language ? "main-english.png" : "main-japanese.png");
        form->ParamEditor()->show();
        Grab(*form->ParamEditor(), language ? "parameter-editor.png" : "parameter-editor-ja.png");
        form->ParamEditor()->hide();
        if (language == 1) {
            TProgressForm& p = *form->ProgressForm();
            p.PrepareProgress(0x8000, QStringLiteral("Now writing.."));
            p.ProgressBar1->setValue(0x3000);
            p.StaticText1->setText(ProgressCountText(1, 0x3000, 0x8000));
            p.show();
            p.Timer1->stop();
            Grab(p, "progress.png");
            p.hide();
        }
        form.reset();
    }
}

// The main window at a larger size after the Device menu turned a parallel
// EEPROM's data protection off, and that menu.
TEST_F(Screenshot, LargerWindowAndProtection) {
    WriteValidSettings(1);
    Start();
    form->show();
    Settle();
    Select(QStringLiteral("EEPROM"), QStringLiteral("Atmel"), QStringLiteral("AT28C256"));
    ASSERT_TRUE(form->DeviceSelected());
    form->SdpOff1->trigger();
    form->resize(900, 600);
    Grab(*form, "main-large.png");
    form->N2->popup(form->mapToGlobal(QPoint(60, 0)));
    Grab(*form->N2, "device-menu-protection.png");
    form->N2->hide();
    form.reset();
}

// The dump window over a 27C256 image with text in it, in the word view of a
// 27C1024, and the debug window after ALSET 5A.
TEST_F(Screenshot, DumpAndDebugWindows) {
    Session session;
    ASSERT_TRUE(LoadIntoSession(session, "EPROM", "Intel", "27C256"));
    const char text[] = "KRTwin dump of a 27C256: 0123456789 ABCDEF abcdef \x01\x02\x7F";
    for (uint32_t i = 0; i < 0x100; ++i) session.buffer[i] = static_cast<uint8_t>(i * 7);
    for (uint32_t i = 0; i + 1 < sizeof text; ++i) session.buffer[0x40 + i] = static_cast<uint8_t>(text[i]);
    TForm3 dump(session);
    dump.Prepare();
    dump.show();
    Grab(dump, "dump-bytes.png");
    // Find as the user types it: the text, then Enter.
    dump.Edit2->setFocus();
    QTest::keyClicks(dump.Edit2, QStringLiteral("dump"));
    QTest::keyClick(dump.Edit2, Qt::Key_Return);
    EXPECT_EQ(dump.Label3->text(), QStringLiteral("At 000047"));
    Grab(dump, "dump-find.png");
    dump.hide();

    Session words;
    ASSERT_TRUE(LoadIntoSession(words, "EPROM", "Intel", "27C1024"));
    for (uint32_t i = 0; i < 0x200; ++i) words.buffer[i] = static_cast<uint8_t>(i);
    TForm3 wordDump(words);
    wordDump.Prepare();
    wordDump.show();
    Grab(wordDump, "dump-words.png");
    wordDump.hide();

    Session gal;
    ASSERT_TRUE(LoadIntoSession(gal, "GAL", "Lattice", "GAL16V8"));
    for (uint32_t i = 0; i < gal.record.bufsize; ++i) gal.buffer[i] = static_cast<uint8_t>((i * 5 / 3) & 1);
    TForm3 fuses(gal);
    fuses.Prepare();
    fuses.show();
    Grab(fuses, "dump-fuses.png");
    fuses.hide();

    TracedSession traced;
    THDebugForm debug(traced.session);
    debug.show();
    Settle();
    debug.ComboBox3->lineEdit()->selectAll();
    QTest::keyClicks(debug.ComboBox3->lineEdit(), QStringLiteral("ALSET"));
    debug.Edit2->selectAll();
    QTest::keyClicks(debug.Edit2, QStringLiteral("5A"));
    QTest::mouseClick(debug.Button5, Qt::LeftButton);
    Grab(debug, "debug.png");
    debug.hide();

    TManualForm manual;
    for (uint32_t language : {1u, 0u}) {
        ASSERT_TRUE(manual.ShowContents(language));
        manual.show();
        Grab(manual, language ? "manual-english.png" : "manual-japanese.png");
    }
    manual.hide();
}

}  // namespace
}  // namespace krt::test
