// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the window tests: the application object, a prompter
// that answers instead of the user, and a fixture with its own settings
// store, chip directory and catalogue.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "JapaneseFont.h"
#include "LogPane.h"
#include "Prompter.h"
#include "TProgressForm.h"
#include "TQV17MainForm.h"
#include "sim/VirtualKrt.h"
#include "WindowTexts.h"
#include "support/RecordingPort.h"

namespace krt::test {

// Where the screenshot tests put their pictures: the manual's images beside
// the programs, so that the manual shows the windows of the current build
// (the build runs those tests for it; installing copies the pictures).
inline QString PictureDirectory() { return QStringLiteral(KRT_BINARY_DIR "/bin/manual/images"); }

inline QApplication& App() {
    static int argc = 1;
    static char name[] = "tests_ui";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = [] {
        // fontconfig's caches are never freed, and LeakSanitizer cannot see
        // them from the font database (fontconfig keeps offsets, not
        // pointers): each would be matched against the fontconfig
        // suppression at exit, which loads the sanitizer runtime's debug
        // information, a third of a short window test's time. Loaded here,
        // with the leak check looking away, they are not counted; fonts
        // matched later still are, and the suppression takes them.
#if defined(__SANITIZE_ADDRESS__)
        __lsan::ScopedDisabler fontCaches;
#endif
        auto* a = new QApplication(argc, argv);
        InstallJapaneseFont();
        QFontDatabase::families();
        return a;
    }();
    return *app;
}

struct Asked {
    QString kind;  // "box", "message", "exec", "open", "save"
    QString text;  // the text, or the dialog's class name
    QString caption;
};

class ScriptedPrompter : public Prompter {
public:
    std::vector<Asked> asked;
    std::deque<QMessageBox::StandardButton> answers;  // default: the first button offered
    std::deque<QString> fileNames;
    // Called for every modal dialog; the default answers without showing
    // it, except the progress dialog, which runs for real (fast ticks).
    std::function<int(QDialog&)> onExec;
    // Called while the progress dialog is shown, on every helper tick.
    std::function<void(TProgressForm&)> duringProgress;
    bool fastProgress = true;

    QMessageBox::StandardButton Box(QWidget*, const QString& text, const QString& caption,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::Icon) override {
        asked.push_back({QStringLiteral("box"), text, caption});
        if (!answers.empty()) {
            auto a = answers.front();
            answers.pop_front();
            return a;
        }
        for (auto b : {QMessageBox::Ok, QMessageBox::Yes})
            if (buttons & b) return b;
        return QMessageBox::NoButton;
    }
    // The default button of each Ask, in order; answered as a Box is.
    std::vector<QMessageBox::StandardButton> defaults;
    QMessageBox::StandardButton Ask(QWidget* parent, const QString& text, const QString& caption,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override {
        defaults.push_back(defaultButton);
        return Box(parent, text, caption, buttons, QMessageBox::Question);
    }
    void Message(QWidget*, const QString& text) override {
        asked.push_back({QStringLiteral("message"), text, QString::fromLatin1(kApplicationTitle)});
    }
    int Exec(QDialog& dialog) override {
        asked.push_back({QStringLiteral("exec"), QString::fromLatin1(dialog.metaObject()->className()),
                         dialog.windowTitle()});
        if (onExec) return onExec(dialog);
        if (auto* progress = qobject_cast<TProgressForm*>(&dialog)) return RunProgress(*progress);
        return QDialog::Accepted;
    }
    QString OpenFileName(QWidget*, const QString& title, const QString& filter) override {
        asked.push_back({QStringLiteral("open"), filter, title});
        return TakeName();
    }
    QString SaveFileName(QWidget*, const QString& title, const QString& filter) override {
        asked.push_back({QStringLiteral("save"), filter, title});
        return TakeName();
    }

    int RunProgress(TProgressForm& progress) {
        QTimer helper;
        helper.setInterval(5);
        QObject::connect(&helper, &QTimer::timeout, [&] {
            if (duringProgress) duringProgress(progress);
            if (fastProgress && progress.isVisible()) progress.Timer1Timer();
        });
        helper.start();
        return Prompter::Exec(progress);  // as the program shows it
    }

    int Count(const QString& kind) const {
        int n = 0;
        for (const auto& a : asked) n += a.kind == kind;
        return n;
    }
    std::vector<QString> Execs() const {
        std::vector<QString> out;
        for (const auto& a : asked)
            if (a.kind == QStringLiteral("exec")) out.push_back(a.text);
        return out;
    }

private:
    QString TakeName() {
        if (fileNames.empty()) return {};
        QString n = fileNames.front();
        fileNames.pop_front();
        return n;
    }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        ASSERT_TRUE(dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.filePath("config"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.filePath("config"));
        Prompter::Install(&prompter);
        options.catalogueDir = QStringLiteral(KRT_BINARY_DIR "/bin");
        options.chipDir = dir_.filePath("chips");
        options.port = QStringLiteral("sim");
    }
    void TearDown() override {
        form.reset();
        Prompter::Install(nullptr);
        UseQtTranslations(1);  // the next test starts with Qt's English texts
    }

    void WriteSettings(const std::map<QString, int>& values) {
        QSettings s(QStringLiteral("Kavimeru"), QStringLiteral("KRTwin"));
        for (const auto& [k, v] : values) s.setValue(k, v);
        s.sync();
    }
    void WriteValidSettings(int language = 1) {
        WriteSettings({{"ClockFreq", 2000000}, {"PwrCircuitVersion", 2}, {"LprPort", 0x378},
                       {"Language", language}});
    }
    int ReadSetting(const QString& name, int def = -1) {
        QSettings s(QStringLiteral("Kavimeru"), QStringLiteral("KRTwin"));
        return s.value(name, def).toInt();
    }

    TQV17MainForm& Start() {
        form = std::make_unique<TQV17MainForm>(options);
        form->FormCreate();
        return *form;
    }
    // Shows the window and lets the deferred first-run step run.
    void ShowAndSettle() {
        form->show();
        Settle();
    }
    static void Settle(int ms = 20) {
        QElapsedTimer t;
        t.start();
        do QApplication::processEvents(QEventLoop::AllEvents, 5);
        while (t.elapsed() < ms);
    }

    // The selection cascade as the user drives it.
    void Choose(const QString& typeText, const QString& maker, const QString& name) {
        form->ComboBox1->setCurrentText(typeText);
        form->ComboBox1Change();
        form->ComboBox2->setCurrentText(maker);
        form->ComboBox2Change();
        form->ComboBox3->setCurrentText(name);
    }
    void Select(const QString& typeText, const QString& maker, const QString& name) {
        Choose(typeText, maker, name);
        form->Button1Click();
    }
    void SelectEprom(const char* name = "27C256") {
        Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QString::fromLatin1(name));
        ASSERT_TRUE(form->DeviceSelected());
    }

    // At real-time pace, what the user does once the operation has moved
    // (once only); done says that it happened.
    void AtFirstProgress(bool& done, std::function<void(TProgressForm&)> act) {
        form->Simulator()->SetPacedToRealTime(true);
        prompter.fastProgress = false;
        prompter.duringProgress = [this, &done, act = std::move(act)](TProgressForm& p) {
            if (done || form->Link().OperationProgress() <= 0) return;
            done = true;
            act(p);
        };
    }

    QStringList LogLines() {
        form->FlushLog();
        return form->Memo1->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    bool LogHas(const QString& line) { return LogLines().contains(line); }

    QString Path(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir_;
    ScriptedPrompter prompter;
    StartOptions options;
    std::unique_ptr<TQV17MainForm> form;
};

// The main window started on the simulated programmer with valid settings,
// as most window tests begin.
class StartedWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WriteValidSettings();
        Start();
    }
};

}  // namespace krt::test
