// SPDX-License-Identifier: GPL-3.0-or-later
// What a new user met in the window, tested the way
// the user met it: click into a field, type, press a key, and read what the
// window shows.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include "THConfigForm.h"
#include "UiTestSupport.h"
#include "link/Protocol.h"
#include "sim/VirtualKrt.h"

namespace krt::test {
namespace {

// Qt's warnings while a test runs.
QStringList gWarnings;
void CollectWarning(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && type != QtInfoMsg) gWarnings << text;
}

class NewUserTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WriteValidSettings();
        Start();
        gWarnings.clear();
        previousHandler_ = qInstallMessageHandler(CollectWarning);
    }
    void TearDown() override {
        qInstallMessageHandler(previousHandler_);
        WindowTest::TearDown();
    }

    // The window shown and active, as on the user's desktop.
    void Activate() {
        form->show();
        QApplication::setActiveWindow(form.get());
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
    // Clicks into the field, selects what it shows and types text over it.
    static void TypeInto(QWidget* field, const QString& text) {
        QWidget* target = field;
        if (auto* box = qobject_cast<QComboBox*>(field); box && box->lineEdit()) target = box->lineEdit();
        QTest::mouseClick(target, Qt::LeftButton);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), text);
    }
    // A key as the keyboard sends it: to the widget that has the focus.
    static void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    std::string Fields() const {
        return (form->ComboBox4->currentText() + " " + form->ComboBox5->currentText() + " " +
                form->ComboBox6->currentText())
            .toStdString();
    }
    QToolButton* ToolButton(QAction* action) const {
        return qobject_cast<QToolButton*>(form->ToolBar1->widgetForAction(action));
    }

private:
    QtMessageHandler previousHandler_ = nullptr;
};

// Item 1: Enter and Tab in a range field show the committed range, and the
// operations use it; a range typed and not committed is committed (and
// shown) before the operation that uses it. The commands are on again after.
TEST_F(NewUserTest, RangeFieldsShowWhatEnterAndTabCommitAndReadUsesIt) {
    SelectEprom();
    Activate();
    TypeInto(form->ComboBox4, QStringLiteral("9000"));
    ToolButton(form->OpRead)->click();
    EXPECT_EQ(Fields(), "007FFF 007FFF 000001");
    EXPECT_EQ(form->ProgressForm()->ProgressBar1->maximum(), 1);
    EXPECT_TRUE(LogHas(QStringLiteral("READ operation is successful"))) << LogLines().join('\n').toStdString();

    Activate();  // back from the progress dialog
    TypeInto(form->ComboBox4, QStringLiteral("9000"));
    Press(Qt::Key_Return);
    EXPECT_EQ(Fields(), "007FFF 007FFF 000001");
    EXPECT_EQ(form->ComboBox4->currentText(), QStringLiteral("007FFF"));

    TypeInto(form->ComboBox4, QStringLiteral("100"));
    Press(Qt::Key_Tab);
    EXPECT_EQ(Fields(), "000100 007FFF 007F00");
    TypeInto(form->ComboBox6, QStringLiteral("10"));
    Press(Qt::Key_Tab);
    EXPECT_EQ(Fields(), "000100 00010F 000010");

    ToolButton(form->OpRead)->click();
    EXPECT_TRUE(LogHas(QStringLiteral("READ operation is successful"))) << LogLines().join('\n').toStdString();
    EXPECT_EQ(form->ProgressForm()->ProgressBar1->maximum(), 0x10);
    for (const QString& line : LogLines()) EXPECT_FALSE(line.contains(QStringLiteral("reaches beyond"))) << line.toStdString();
    EXPECT_TRUE(form->menuBar()->isEnabled());
    EXPECT_TRUE(form->ToolBar1->isEnabled());
    EXPECT_TRUE(form->GroupBox1->isEnabled());
    EXPECT_TRUE(form->GroupBox2->isEnabled());
    EXPECT_TRUE(form->Edit1->isEnabled());
}

// Item 4: after the File menu has been opened once, each shortcut still
// belongs to exactly one action.
TEST_F(NewUserTest, FileShortcutsWorkAfterTheFileMenuWasOpened) {
    SelectEprom();
    Activate();
    const QRect file = form->menuBar()->actionGeometry(form->File1->menuAction());
    QTest::mouseClick(form->menuBar(), Qt::LeftButton, {}, file.center());
    ASSERT_TRUE(form->File1->isVisible());
    QTest::keyClick(form->File1, Qt::Key_Escape);
    ASSERT_FALSE(form->File1->isVisible());
    QTest::keyClick(form->File1, Qt::Key_Escape);  // and out of the menu bar

    QSignalSpy opened(form->FileOpen1, &QAction::triggered);
    QSignalSpy saved(form->FileSave1, &QAction::triggered);
    QSignalSpy cleared(form->FileNew1, &QAction::triggered);
    prompter.fileNames.push_back(QString());  // the open dialog, cancelled
    prompter.fileNames.push_back(QString());  // the save dialog, cancelled
    Press(Qt::Key_O, Qt::ControlModifier);
    Press(Qt::Key_S, Qt::ControlModifier);
    Press(Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_TRUE(LogHas(QStringLiteral("Buffer is cleared")));
    EXPECT_EQ(prompter.Count("open"), 1);
    EXPECT_EQ(prompter.Count("save"), 1);
    for (const QString& w : gWarnings) EXPECT_FALSE(w.contains(QStringLiteral("Ambiguous"))) << w.toStdString();
    // The menu still shows each shortcut beside its item.
    EXPECT_TRUE(form->FileNewItem->text().endsWith(QStringLiteral("\tCtrl+N")) ||
                form->FileNewItem->shortcut() == QKeySequence(QStringLiteral("Ctrl+N")));
}

// Item 2: a refused or partly read data file leaves the buffer with what
// was stored; the status line and the log say which file, and that partly.
TEST_F(NewUserTest, RefusedDataFilesLeaveTheBufferAsItWas) {
    SelectEprom();
    auto write = [this](const char* name, const char* text) {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    };
    const QString good = write("good.hex", ":0400000001020304F2\n:00000001FF\n");
    prompter.fileNames.push_back(good);
    form->FileOpen1Execute();
    EXPECT_EQ(form->StatusText(), QStringLiteral("File \"%1\" is read").arg(good));

    // Two good records, then one with a wrong checksum: the file is refused
    // whole, and the buffer keeps what it held (no half-read file is programmed).
    const QString bad = write("bad.hex",
                              ":10001000000102030405060708090A0B0C0D0E0F68\n"
                              ":10002000101112131415161718191A1B1C1D1E1F58\n"
                              ":0400300001020304C3\n:00000001FF\n");
    prompter.fileNames.push_back(bad);
    form->FileOpen1Execute();
    EXPECT_EQ(test::Last(prompter.asked).text, QStringLiteral("File's check sum is wrong."));
    EXPECT_EQ(form->Buffer()[0x2F], 0xFF);
    EXPECT_EQ(form->Buffer()[0x00], 0x01);
    EXPECT_FALSE(form->DataLoaded());
    EXPECT_EQ(form->StatusText(), QStringLiteral("File \"%1\" is read").arg(good));
    EXPECT_TRUE(LogHas(QStringLiteral("File \"%1\" is not read (File's check sum is wrong.); the buffer is as it was.")
                           .arg(bad)))
        << LogLines().join('\n').toStdString();

    // Too large for the device.
    const QString large = write("large.hex", ":02000004000AF0\n:02000000AA55FF\n:00000001FF\n");
    prompter.fileNames.push_back(large);
    form->FileOpen1Execute();
    EXPECT_EQ(test::Last(prompter.asked).text, QStringLiteral("File size is larger than the device size."));

    // Not there at all: the buffer and the status line stay as they were.
    const QString status = form->StatusText();
    prompter.fileNames.push_back(Path("missing.hex"));
    form->FileOpen1Execute();
    EXPECT_EQ(form->StatusText(), status);
    EXPECT_EQ(LogLines().last(),
              QStringLiteral("File \"%1\" is not read (File not found.); the buffer is as it was.").arg(Path("missing.hex")));
}

// Item 3 in the window: settings with the dialog's own 4.0000 MHz bring the
// first-run windows; OK in the configuration dialog is refused with the
// range until a clock the start-up accepts is typed, and the next start
// shows no first-run window.
TEST_F(NewUserTest, TheFirstRunDialogRefusesAClockTheStartUpWouldRefuse) {
    form.reset();
    WriteSettings({{"ClockFreq", 4000000}});
    Start();
    ASSERT_FALSE(form->SettingsOk());
    int refusals = 0;
    prompter.onExec = [&](QDialog& dialog) {
        auto* config = qobject_cast<THConfigForm*>(&dialog);
        if (!config) return static_cast<int>(QDialog::Accepted);
        dialog.show();
        EXPECT_EQ(config->Edit1->text(), QStringLiteral("4.000000"));
        QTest::mouseClick(config->Button1, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        for (const Asked& a : prompter.asked)
            refusals += a.text == QStringLiteral("The KRT clock must be from 0.450001 to 3.500000 MHz.");
        config->Edit1->selectAll();
        QTest::keyClicks(config->Edit1, "2");
        QTest::mouseClick(config->Button1, Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
        return dialog.result();
    };
    ShowAndSettle();
    EXPECT_EQ(refusals, 1);
    EXPECT_EQ(ReadSetting(QStringLiteral("ClockFreq")), 2000000);
    form.reset();
    prompter.asked.clear();
    Start();
    EXPECT_TRUE(form->SettingsOk());
}

// Item 6: closing the main window during an operation cancels it, waits for
// it and resets the link: nothing modal blocks the window's close button.
TEST_F(NewUserTest, ClosingTheWindowDuringAnOperationCancelsIt) {
    SelectEprom("27C040");
    Activate();
    bool closed = false;
    AtFirstProgress(closed, [&](TProgressForm&) {
        // What the window manager's close would meet: no modal window, and
        // the window's own commands off meanwhile.
        EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_FALSE(form->menuBar()->isEnabled());
        EXPECT_FALSE(form->ToolBar1->isEnabled());
        EXPECT_FALSE(form->GroupBox2->isEnabled());
        EXPECT_TRUE(form->Memo1->isEnabled());
        form->windowHandle()->close();
    });
    ToolButton(form->OpRead)->click();
    EXPECT_TRUE(closed);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->ProgressForm()->isVisible());
    EXPECT_FALSE(form->OperationRunning());
    EXPECT_TRUE(LogHas(QStringLiteral("READ operation is failed. Because \"Operation is canceled\".")))
        << LogLines().join('\n').toStdString();
    ASSERT_NE(form->Simulator(), nullptr);
    EXPECT_DOUBLE_EQ(form->Simulator()->Vpp(), 0.0);
    EXPECT_DOUBLE_EQ(form->Simulator()->Vcc(), 0.0);
    EXPECT_FALSE(form->Simulator()->ResultOkIndicator());
}

// Item 7: the permissible-errors field takes digits only and shows the count
// that the operations will use.
TEST_F(NewUserTest, PermissibleErrorsRefusesLettersAndShowsTheCountUsed) {
    SelectEprom();
    Activate();
    TypeInto(form->Edit1, QStringLiteral("abc"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("100"));  // the letters are refused
    Press(Qt::Key_Backspace);
    EXPECT_EQ(form->Edit1->text(), QString());
    Press(Qt::Key_Tab);
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("100"));
    TypeInto(form->Edit1, QStringLiteral("0-07x"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("007"));
    Press(Qt::Key_Return);
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("7"));
    EXPECT_EQ(form->BuildRequest(REQ_VERIFY).permittedErrorCount, 7u);
    // Emptied and straight to an operation: the count used is shown.
    TypeInto(form->Edit1, QString());
    Press(Qt::Key_Backspace);
    ToolButton(form->OpVerify)->click();
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("100"));
}

// Item 8: Select while the boxes show their placeholders does nothing.
TEST_F(NewUserTest, SelectWithThePlaceholdersDoesNothing) {
    Activate();
    const QStringList before = LogLines();
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(LogLines(), before);
    EXPECT_TRUE(prompter.Execs().empty());
    EXPECT_FALSE(form->DeviceSelected());
    // A type chosen, then the type's placeholder again.
    Choose(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    form->ComboBox1->setCurrentIndex(0);
    form->ComboBox1Change();
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(LogLines(), before);
    EXPECT_FALSE(form->DeviceSelected());
    // And a real choice still selects.
    Choose(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_TRUE(form->DeviceSelected());
}

}  // namespace
}  // namespace krt::test
