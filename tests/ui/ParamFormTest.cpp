// SPDX-License-Identifier: GPL-3.0-or-later
// The device parameter editor: bounds of Apply, the time texts, what Fill
// shows, and the close question.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "DialogTestSupport.h"
#include "support/JapaneseText.h"
#include "ui/TWConfigForm.h"

namespace krt {
namespace {

using dialogtest::DialogFixture;

// A record as the loader leaves an EPROM.
DeviceRecord Eprom() {
    DeviceRecord r;
    r.name = "27C256";
    r.type = "EPROM";
    r.manufacture = "Intel";
    r.maxsize = 0x8000;
    r.bufsize = 0x8000;
    r.pagesize = 1;
    r.tpw = 1e-4;
    r.tpr = 1e-6;
    r.waitmode = 4;
    r.retry = 25;
    r.verify = 1;
    r.VppR = 5.0;
    r.VccR = 5.0;
    r.VppW = 12.5;
    r.VccW = 6.25;
    r.ahand = r.amand = r.aland = r.dhand = r.dland = 0xFF;
    return r;
}

class ParamFormTest : public ::testing::Test, public DialogFixture {
protected:
    ParamFormTest() : record(Eprom()) {
        form.SetRecord(&record);
        form.Fill();
    }
    void ApplyWith(QLineEdit* edit, const char* text) {
        edit->setText(QString::fromUtf8(text));
        form.Apply();
    }
    DeviceRecord record;
    TWConfigForm form;
};

TEST(TimeText, ChoosesTheUnitAndOneDecimal) {
    const std::pair<double, const char*> cases[] = {{1e-6, "1.0us"},    {5e-8, "50.0ns"},   {0.01, "10.0ms"},
                                                    {0.05, "50.0ms"},   {9.5e-4, "950.0us"}, {5e-7, "500.0ns"},
                                                    {0.0, "0.0ns"},     {2.5, "2500.0ms"}};
    for (const auto& [seconds, text] : cases) EXPECT_EQ(TimeText(seconds), text) << seconds;
}

TEST(TimeText, ReadsNumberAndUnitTogether) {
    // Blanks are removed; no unit, an unknown unit or trailing text reads as
    // 0 (the file format differs); locale-free: a comma is not a decimal point.
    const std::pair<const char*, double> cases[] = {
        {"100us", 1e-4}, {"  50.0ms ", 0.05}, {"100 ns", 1e-7}, {"2MS", 0.002},    {"1.5s", 1.5},
        {"1e-3s", 0.001}, {"100", 0.0},       {"10msx", 0.0},   {"10 m s x", 0.0}, {"ms", 0.0},
        {"", 0.0},        {"nanus", 0.0},     {"1,5ms", 0.0}};
    for (const auto& [text, seconds] : cases) EXPECT_DOUBLE_EQ(ParseTimeText(text), seconds) << text;
}

// Apply bounds each field and shows the bounded value again.
TEST_F(ParamFormTest, FieldsAreBoundedOnApply) {
    struct Case {
        QLineEdit* edit;
        const char* typed;
        double DeviceRecord::*field;
        double value;
        const char* shown;  // the text after Apply, when checked
    };
    const Case cases[] = {
        {form.EditVccR, "7.5", &DeviceRecord::VccR, 7.5, nullptr},
        {form.EditVppR, "21", &DeviceRecord::VppR, 21.0, nullptr},
        {form.EditVccW, "abc", &DeviceRecord::VccW, 0.0, nullptr},
        {form.EditVccW, "nan", &DeviceRecord::VccW, 0.0, nullptr},
        {form.EditVccW, "4.5V", &DeviceRecord::VccW, 4.5, nullptr},
        {form.EditTpw, "200ms", &DeviceRecord::tpw, 0.05, "50.0ms"},
        {form.EditTpw, "100", &DeviceRecord::tpw, 1e-6, "1.0us"},
        {form.EditTpr, "250us", &DeviceRecord::tpr, 2.5e-4, "250.0us"},
        {form.EditTpr, "10ns", &DeviceRecord::tpr, 1e-6, nullptr},
    };
    for (const Case& c : cases) {
        ApplyWith(c.edit, c.typed);
        EXPECT_DOUBLE_EQ(record.*c.field, c.value) << c.typed;
        if (c.shown) {
            EXPECT_EQ(c.edit->text().toStdString(), c.shown);
        }
    }
}

// A voltage the programmer cannot supply is refused with the field's range;
// the record keeps its value and the field its text, to be corrected.
TEST_F(ParamFormTest, VoltagesBeyondTheSuppliesAreRefusedWithTheRange) {
    struct Case {
        QLineEdit* edit;
        const char* typed;
        double DeviceRecord::*field;
        const char* box;
    };
    form.SetLanguage(1);
    const Case cases[] = {
        {form.EditVppW, "99", &DeviceRecord::VppW,
         "Vpp when writing (0 to 21 V): the programmer cannot supply 99 V. Nothing was applied."},
        {form.EditVccR, "9", &DeviceRecord::VccR,
         "Vcc when reading (0 to 7.5 V): the programmer cannot supply 9 V. Nothing was applied."},
        {form.EditVppR, "21.5", &DeviceRecord::VppR,
         "Vpp when reading (0 to 21 V): the programmer cannot supply 21.5 V. Nothing was applied."},
        {form.EditVccW, "-1", &DeviceRecord::VccW,
         "Vcc when writing (0 to 7.5 V): the programmer cannot supply -1 V. Nothing was applied."},
        {form.EditVccW, "1e999", &DeviceRecord::VccW,
         "Vcc when writing (0 to 7.5 V): the programmer cannot supply 1e999 V. Nothing was applied."},
    };
    for (const Case& c : cases) {
        const double before = record.*c.field;
        c.edit->setText(QString::fromUtf8(c.typed));
        EXPECT_FALSE(form.Apply()) << c.typed;
        EXPECT_DOUBLE_EQ(record.*c.field, before) << c.typed;
        EXPECT_EQ(c.edit->text().toStdString(), c.typed);
        ASSERT_FALSE(prompter.asked.empty());
        EXPECT_EQ(prompter.asked.back().text.toStdString(), c.box);
        form.Fill();
    }
}

TEST_F(ParamFormTest, SuppliesAreShownInTheirForms) {
    EXPECT_EQ(form.EditVccR->text(), "5");
    EXPECT_EQ(form.EditVccW->text(), "6.25");
    EXPECT_EQ(form.EditVppW->text(), "12.5");
    record.VppW = 12.75;
    record.VccR = 4.75;
    form.Fill();
    // Four significant digits, and shown whole although the field takes four
    // characters when typed.
    EXPECT_EQ(form.EditVppW->text(), "12.75");
    EXPECT_EQ(form.EditVccR->text(), "4.75");
    form.Apply();
    EXPECT_DOUBLE_EQ(record.VppW, 12.75);
}

// After Apply has bounded a field, a value typed within
// its bounds is taken whole (12.75 V was cut to 12.7 V).
TEST_F(ParamFormTest, AValueTypedWithinItsBoundsIsNeverCut) {
    ApplyWith(form.EditVppW, "21");
    ASSERT_EQ(form.EditVppW->text(), "21");
    form.EditVppW->selectAll();
    QTest::keyClicks(form.EditVppW, "12.75");
    EXPECT_EQ(form.EditVppW->text(), "12.75");
    form.Apply();
    EXPECT_DOUBLE_EQ(record.VppW, 12.75);
    struct Typed {
        QLineEdit* edit;
        const char* text;
    };
    for (const Typed& t : {Typed{form.EditVccW, "6.125"}, Typed{form.EditVppR, "12.75"}, Typed{form.EditVccR, "4.75"},
                           Typed{form.EditTpw, "999.9us"}, Typed{form.EditTpr, "50.0 ms"}, Typed{form.EditRetry, "100"}}) {
        t.edit->selectAll();
        QTest::keyClicks(t.edit, t.text);
        EXPECT_EQ(t.edit->text().toStdString(), t.text);
    }
    form.Apply();
    EXPECT_DOUBLE_EQ(record.VccW, 6.125);
    EXPECT_DOUBLE_EQ(record.VppR, 12.75);
    EXPECT_DOUBLE_EQ(record.VccR, 4.75);
    EXPECT_DOUBLE_EQ(record.tpw, 999.9e-6);
    EXPECT_DOUBLE_EQ(record.tpr, 0.05);
    EXPECT_EQ(record.retry, 100);
}

TEST_F(ParamFormTest, ALongTimeTextIsShownWholeAndKeptOnApply) {
    record.tpw = 5e-7;  // a parameter file may give less than the editor's bound
    form.Fill();
    EXPECT_EQ(form.EditTpw->text(), "500.0ns");
    record.tpr = 3e-4;
    form.Fill();
    form.Apply();
    EXPECT_DOUBLE_EQ(record.tpr, 3e-4);
}

TEST_F(ParamFormTest, RetryIsBoundedButZeroStays) {
    ApplyWith(form.EditRetry, "0");
    EXPECT_EQ(record.retry, 0);
    ApplyWith(form.EditRetry, "-3");
    EXPECT_EQ(record.retry, 0);
    ApplyWith(form.EditRetry, "x");
    EXPECT_EQ(record.retry, 0);
    ApplyWith(form.EditRetry, "42");
    EXPECT_EQ(record.retry, 42);
    EXPECT_EQ(form.EditRetry->text(), "42");
    // Three characters when typed, so that the bound 100 is typed whole; a
    // larger count from a parameter file is shown whole and bounded on apply.
    form.EditRetry->clear();
    QTest::keyClicks(form.EditRetry, "1009");
    EXPECT_EQ(form.EditRetry->text(), "100");
    record.retry = 150;
    form.Fill();
    EXPECT_EQ(form.EditRetry->text(), "150");
    form.Apply();
    EXPECT_EQ(record.retry, 100);
    record.retry = 2147483647;
    form.Fill();
    form.Apply();
    EXPECT_EQ(record.retry, 100);
}

TEST_F(ParamFormTest, MasksSkipNonDigitsAndKeepTheLowByte) {
    form.EditALAND->setText("1F");
    form.EditDHOR->setText(" F");
    form.EditAHAND->setText("G3");
    form.EditDLOR->setText("");
    form.EditDLAND->setText("x");
    form.Apply();
    EXPECT_EQ(record.aland, 0x1F);
    EXPECT_EQ(record.dhor, 0x0F);
    EXPECT_EQ(record.ahand, 0x03);
    EXPECT_EQ(record.dlor, 0x00);
    EXPECT_EQ(record.dland, 0x00);
    EXPECT_EQ(record.amand, 0xFF);
    EXPECT_EQ(form.EditDHOR->text(), "0F");
    EXPECT_EQ(form.EditAHAND->text(), "03");
    EXPECT_EQ(form.EditAMOR->text(), "00");
    // A longer text (typed before a limit existed) keeps its low byte.
    form.EditAMAND->setMaxLength(8);
    form.EditAMAND->setText("0x123");
    form.Apply();
    EXPECT_EQ(record.amand, 0x23);
}

TEST_F(ParamFormTest, DeviceTextsAndSizes) {
    EXPECT_EQ(form.TextType->text(), "EPROM");
    EXPECT_EQ(form.TextVendor->text(), "Intel");
    EXPECT_EQ(form.TextName->text(), "27C256");
    EXPECT_EQ(form.TextCode->text(), "00");
    EXPECT_EQ(form.TextMaxsize->text(), "8000");
    EXPECT_EQ(form.TextPagesize->text(), "N/A");
    EXPECT_FALSE(form.TextPagesize->isEnabled());
    EXPECT_EQ(form.LabelBW1->text(), "(Byte)");
    EXPECT_EQ(form.LabelBW2->text(), "(Byte)");

    record.pagesize = 0x40;
    record.maxsize = 0x10;
    record.typecode = 0x12;
    form.Fill();
    EXPECT_EQ(form.TextPagesize->text(), "0040");
    EXPECT_TRUE(form.TextPagesize->isEnabled());
    EXPECT_EQ(form.TextMaxsize->text(), "0010");
    EXPECT_EQ(form.TextCode->text(), "12");
    record.maxsize = 0x20000;
    form.Fill();
    EXPECT_EQ(form.TextMaxsize->text(), "20000");
}

TEST_F(ParamFormTest, NotesTellAddressLengthControlCodeNoteAndAlgorithm) {
    EXPECT_TRUE(form.Memo1->toPlainText().isEmpty());
    record.typecode = 2;
    record.addrlen = 8;
    record.note = "use a 93C46";
    record.algol = "fast";
    form.Fill();
    EXPECT_EQ(form.Memo1->toPlainText(),
              QString::fromUtf8("アドレス長は08ビットです。\n注意：use a 93C46\n書きこみアルゴリズム：fast"));
    record.typecode = 3;
    record.controlcode = 0xA0;
    record.note.clear();
    record.algol.clear();
    form.Fill();
    EXPECT_EQ(form.Memo1->toPlainText(), QString::fromUtf8("コントロールコードはA0です。"));
}

TEST_F(ParamFormTest, WaitModeOnlyForParallelEeprom) {
    EXPECT_FALSE(form.ComboWaitmode->isEnabled());
    ASSERT_EQ(form.ComboWaitmode->count(), 5);
    EXPECT_EQ(form.ComboWaitmode->itemText(4), QString::fromUtf8("Windowsタイマー"));
    // Applying another device keeps its mode.
    form.Apply();
    EXPECT_EQ(record.waitmode, 4);

    record.typecode = 0x12;
    record.waitmode = 9;
    form.Fill();
    EXPECT_TRUE(form.ComboWaitmode->isEnabled());
    EXPECT_EQ(form.ComboWaitmode->currentIndex(), 0);
    form.ComboWaitmode->setCurrentIndex(2);
    form.Apply();
    EXPECT_EQ(record.waitmode, 2);
}

TEST_F(ParamFormTest, PageWriteShownAndChosenForTwoWireParts) {
    record.pagewrite = 1;
    form.Fill();
    EXPECT_TRUE(form.CheckPageWrite->isChecked());
    EXPECT_FALSE(form.CheckPageWrite->isEnabled());
    form.Apply();
    EXPECT_EQ(record.pagewrite, 1) << "another device keeps its value";

    record.typecode = 3;
    record.pagewrite = 0;
    form.Fill();
    EXPECT_TRUE(form.CheckPageWrite->isEnabled());
    EXPECT_FALSE(form.CheckPageWrite->isChecked());
    form.CheckPageWrite->setChecked(true);
    EXPECT_TRUE(form.Modified());
    form.Apply();
    EXPECT_EQ(record.pagewrite, 1);
    form.CheckPageWrite->setChecked(false);
    form.Apply();
    EXPECT_EQ(record.pagewrite, 0);
}

TEST_F(ParamFormTest, WordAccessFollowsBwalt) {
    EXPECT_FALSE(form.CheckWordSize->isEnabled());
    form.CheckWordSize->setChecked(true);  // cannot change without bwalt
    EXPECT_FALSE(form.CheckWordSize->isChecked());
    EXPECT_TRUE(form.Modified());
    form.Apply();
    EXPECT_EQ(record.wordaccess, 0);
    EXPECT_FALSE(form.CheckSwap->isEnabled());

    record.bwalt = 1;
    form.Fill();
    EXPECT_TRUE(form.CheckWordSize->isEnabled());
    form.CheckWordSize->setChecked(true);
    form.Apply();
    EXPECT_EQ(record.wordaccess, 1);
    EXPECT_TRUE(form.CheckSwap->isEnabled());
    EXPECT_EQ(form.LabelBW1->text(), "(Word)");
    EXPECT_EQ(form.LabelBW2->text(), "(Word)");
    form.CheckSwap->setChecked(true);
    form.CheckVerify->setChecked(false);
    form.Apply();
    EXPECT_EQ(record.swap, 1);
    EXPECT_EQ(record.verify, 0);
}

// The identity check and the changed-only write: an EPROM has neither, so
// the box shows the record's value, disabled, and applying keeps it; the
// families that have one take the box into the record.
TEST_F(ParamFormTest, FlagBoxesAreBoundToTheRecord) {
    struct Box {
        QCheckBox* TWConfigForm::*box;
        uint8_t DeviceRecord::*field;
        uint8_t eprom;  // the EPROM's value, kept
        std::vector<const char*> types;
    };
    const Box boxes[] = {
        {&TWConfigForm::CheckIdCheck, &DeviceRecord::idcheck, 1, {"PIC", "FLASH", "GAL"}},
        {&TWConfigForm::CheckChangedOnly, &DeviceRecord::changedonly, 0, {"EEPROM", "SEEPROM"}},
    };
    for (const Box& b : boxes) {
        QCheckBox* box = form.*(b.box);
        SCOPED_TRACE(box->objectName().toStdString());
        form.SetRecord(&record);
        form.Fill();
        EXPECT_FALSE(box->isEnabled());
        EXPECT_EQ(box->isChecked(), b.eprom != 0);
        form.Apply();
        EXPECT_EQ(record.*(b.field), b.eprom);
        for (const char* type : b.types) {
            DeviceRecord part = Eprom();
            part.type = type;
            form.SetRecord(&part);
            form.Fill();
            EXPECT_TRUE(box->isEnabled()) << type;
            box->setChecked(b.eprom == 0);
            EXPECT_TRUE(form.Modified()) << type;
            form.Apply();
            EXPECT_EQ(part.*(b.field), b.eprom == 0 ? 1 : 0) << type;
            form.Fill();
            EXPECT_EQ(box->isChecked(), b.eprom == 0) << type;
        }
    }
    form.SetRecord(&record);
}

TEST_F(ParamFormTest, SwapOfAByteDeviceIsNotTakenFromTheBox) {
    record.wordaccess = 1;
    record.bwalt = 1;
    record.swap = 1;
    form.Fill();
    EXPECT_TRUE(form.CheckSwap->isChecked());
    DeviceRecord other = Eprom();
    form.SetRecord(&other);
    form.Fill();
    EXPECT_FALSE(form.CheckSwap->isChecked());
    form.Apply();
    EXPECT_EQ(other.swap, 0);
}

TEST_F(ParamFormTest, FillAndShowingLeaveTheFormUnmodified) {
    form.Fill();
    EXPECT_FALSE(form.Modified());
    form.EditRetry->setText("3");
    EXPECT_TRUE(form.Modified());
    form.show();
    EXPECT_FALSE(form.Modified());
    form.EditTpr->setText("3us");
    form.Apply();
    EXPECT_FALSE(form.Modified());
    form.hide();
}

// Closing without a change asks nothing; Apply clears the change.
TEST_F(ParamFormTest, CloseWithoutChangesAsksNothing) {
    form.show();
    form.Button1->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(prompter.asked.empty());

    form.show();
    form.EditVccR->setText("7.5");
    form.Button2->click();
    EXPECT_DOUBLE_EQ(record.VccR, 7.5);
    EXPECT_EQ(form.EditVccR->text(), "7.5");
    EXPECT_FALSE(form.Modified());
    form.Button1->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(prompter.asked.empty());
}

// A change typed and then closed (the close button, Escape or the window's
// own close) asks once: Yes applies, No leaves the record, Cancel stays.
TEST_F(ParamFormTest, CloseAfterAChangeAsks) {
    struct Case {
        QMessageBox::StandardButton answer;
        void (*close)(TWConfigForm&);
        bool visible;
        int aland;
    };
    const Case cases[] = {
        {QMessageBox::Cancel, [](TWConfigForm& f) { f.Button1->click(); }, true, 0xFF},
        {QMessageBox::Yes, [](TWConfigForm& f) { QTest::keyClick(&f, Qt::Key_Escape); }, false, 0x0F},
        {QMessageBox::No, [](TWConfigForm& f) { f.close(); }, false, 0xFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        record.aland = 0xFF;
        form.Fill();
        form.show();
        form.EditALAND->clear();
        QTest::keyClicks(form.EditALAND, "0F");
        prompter.asked.clear();
        prompter.answers = {c.answer};
        c.close(form);
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(prompter.asked[0].text, QString::fromUtf8("パラメータが変更されています。反映させますか？"));
        EXPECT_EQ(prompter.asked[0].caption, QString::fromUtf8("確認"));
        EXPECT_EQ(prompter.asked[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(form.isVisible(), c.visible);
        EXPECT_EQ(record.aland, c.aland);
        form.hide();
    }
}

// In English every text the window shows, tips and the close question
// included, is English, and each caption has the room it asks for at the
// window's fixed size; Japanese comes back whole after a switch.
TEST_F(ParamFormTest, EnglishModeSpeaksEnglishAndEveryCaptionFits) {
    record.typecode = 2;  // three-wire: the address length line
    record.addrlen = 6;
    record.note = "ORG pin to Vcc";
    record.algol = "fast";
    form.SetLanguage(1);
    form.Fill();
    form.show();
    QApplication::processEvents();

    QStringList shown = {form.windowTitle(), form.Memo1->toPlainText()};
    for (QWidget* w : form.findChildren<QWidget*>()) {
        shown << w->toolTip() << w->statusTip();
        if (auto* l = qobject_cast<QLabel*>(w)) shown << l->text();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) shown << b->text();
        if (auto* g = qobject_cast<QGroupBox*>(w)) shown << g->title();
        if (auto* e = qobject_cast<QLineEdit*>(w)) shown << e->text();
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i) shown << c->itemText(i);
    }
    for (const QString& text : shown) EXPECT_FALSE(test::HasJapanese(text.toStdString())) << text.toStdString();
    EXPECT_EQ(form.Memo1->toPlainText(),
              QStringLiteral("The address length is 06 bits.\nNote: ORG pin to Vcc\nProgramming algorithm: fast"));
    EXPECT_EQ(form.ComboWaitmode->itemText(3), QStringLiteral("Data polling"));

    int captions = 0;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (!w->isVisible() || !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w))) continue;
        ++captions;
        const QSize hint = w->sizeHint();
        EXPECT_GE(w->width(), hint.width()) << w->objectName().toStdString() << " "
                                            << (qobject_cast<QLabel*>(w) ? qobject_cast<QLabel*>(w)->text()
                                                                         : qobject_cast<QAbstractButton*>(w)->text())
                                                   .toStdString();
        EXPECT_GE(w->height(), hint.height()) << w->objectName().toStdString();
    }
    EXPECT_GT(captions, 20);
    for (auto* g : form.findChildren<QGroupBox*>())
        EXPECT_LE(g->fontMetrics().horizontalAdvance(g->title()) + 16, g->width()) << g->title().toStdString();
    EXPECT_EQ(form.size(), QSize(476, 423));

    form.EditALAND->setText("0F");
    prompter.answers = {QMessageBox::Cancel};
    form.Button1->click();
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_FALSE(test::HasJapanese(prompter.asked[0].text.toStdString()));
    EXPECT_FALSE(test::HasJapanese(prompter.asked[0].caption.toStdString()));

    form.SetLanguage(0);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("書きこみ方法の確認"));
    EXPECT_EQ(form.Button2->text(), QString::fromUtf8("適用(&A)"));
    EXPECT_EQ(form.ComboWaitmode->itemText(4), QString::fromUtf8("Windowsタイマー"));
    EXPECT_EQ(form.Memo1->toPlainText(),
              QString::fromUtf8("アドレス長は06ビットです。\n注意：ORG pin to Vcc\n書きこみアルゴリズム：fast"));
    form.hide();
}

TEST(ParamFormEmpty, WithoutARecordShowsTheEmptyRecordAndAppliesNothing) {
    dialogtest::EnsureApplication();
    TWConfigForm form;
    EXPECT_EQ(form.TextType->text(), "");
    EXPECT_EQ(form.TextMaxsize->text(), "0000");
    EXPECT_EQ(form.EditTpw->text(), "0.0ns");
    EXPECT_EQ(form.EditVppW->text(), "0");
    form.EditVccR->setText("5");
    form.Apply();  // nothing to apply to; must not crash
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("書きこみ方法の確認"));
    EXPECT_EQ(form.size(), QSize(476, 423));
    // Every control has its room: the layout fits the fixed window.
    const QSize needed = form.layout()->minimumSize();
    EXPECT_LE(needed.width(), 476);
    EXPECT_LE(needed.height(), 423);
}

TEST(ParamFormEmpty, ControlsCarryTheirNames) {
    dialogtest::EnsureApplication();
    TWConfigForm form;
    for (const char* name : {"TextType", "TextVendor", "TextName", "TextCode", "TextMaxsize", "TextPagesize",
                             "LabelBW1", "LabelBW2", "EditTpw", "EditTpr", "EditRetry", "EditVccR", "EditVccW",
                             "EditVppR", "EditVppW", "EditAHAND", "EditAMAND", "EditALAND", "EditDHAND",
                             "EditDLAND", "EditAHOR", "EditAMOR", "EditALOR", "EditDHOR", "EditDLOR",
                             "CheckVerify", "CheckWordSize", "CheckSwap", "CheckPageWrite", "CheckIdCheck", "ComboWaitmode", "Memo1", "Button2",
                             "Button1"}) {
        EXPECT_NE(form.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
    EXPECT_EQ(form.Button2->text(), QString::fromUtf8("適用(&A)"));
    EXPECT_EQ(form.Button1->text(), QString::fromUtf8("閉じる(&C)"));
    EXPECT_EQ(form.CheckVerify->text(), QString::fromUtf8("書き込み時ベリファイ"));
    EXPECT_EQ(form.CheckWordSize->text(), QString::fromUtf8("16bitサイズでアクセス"));
    EXPECT_EQ(form.CheckSwap->text(), QString::fromUtf8("上下バイトのスワップ"));
    EXPECT_EQ(form.EditTpw->maxLength(), 8);
    EXPECT_EQ(form.EditRetry->maxLength(), 3);
    EXPECT_EQ(form.EditVccR->maxLength(), 6);
    EXPECT_EQ(form.EditALAND->maxLength(), 2);
}

}  // namespace
}  // namespace krt
