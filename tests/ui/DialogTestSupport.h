// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers of the dialog tests: a prompter that answers from a script and
// records the buttons offered, a settings store in a scratch directory, and a
// shell with its own link context.
#pragma once

#include <QApplication>
#include <QPlainTextEdit>  // used by the window tests' helpers
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <memory>

#include "Prompter.h"
#include "ShellServices.h"
#include "catalogue/DeviceRecord.h"
#include "link/Link.h"
#include "link/Link.h"

#if __has_include("UiTestSupport.h")
#include "UiTestSupport.h"
#endif

namespace krt::dialogtest {

// The one QApplication of the test program, shared with the window tests
// when they are built beside these.
inline void EnsureApplication() {
#if __has_include("UiTestSupport.h")
    test::App();
#else
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tests_ui";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt must not be torn down by the exit handlers.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
#endif
}

// Answers message boxes in the order scripted and records what was asked.
class ScriptedPrompter : public Prompter {
public:
    struct Asked {
        QString text;
        QString caption;
        QMessageBox::StandardButtons buttons;
    };
    std::deque<QMessageBox::StandardButton> answers;
    std::vector<Asked> asked;

    QMessageBox::StandardButton Box(QWidget*, const QString& text, const QString& caption,
                                    QMessageBox::StandardButtons buttons, QMessageBox::Icon) override {
        asked.push_back({text, caption, buttons});
        if (answers.empty()) return QMessageBox::NoButton;
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    // A question is answered as a box is; its default button is kept.
    std::vector<QMessageBox::StandardButton> defaults;
    QMessageBox::StandardButton Ask(QWidget* parent, const QString& text, const QString& caption,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) override {
        defaults.push_back(defaultButton);
        return Box(parent, text, caption, buttons, QMessageBox::Question);
    }
    void Message(QWidget*, const QString& text) override { asked.push_back({text, {}, QMessageBox::Ok}); }
    int Exec(QDialog&) override { return 0; }
};

// Installs a scripted prompter and points the settings store at a scratch
// directory for one test.
class DialogFixture {
public:
    DialogFixture() {
        EnsureApplication();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
        Prompter::Install(&prompter);
    }
    ~DialogFixture() { Prompter::Install(nullptr); }

    // A value as the store holds it; def when absent.
    int StoredInt(const char* name, int def = -1) const {
        QSettings settings(QStringLiteral("Kavimeru"), QStringLiteral("KRTwin"));
        return settings.contains(QString::fromLatin1(name)) ? settings.value(QString::fromLatin1(name)).toInt()
                                                            : def;
    }
    void Store(const char* name, int value) const {
        QSettings settings(QStringLiteral("Kavimeru"), QStringLiteral("KRTwin"));
        settings.setValue(QString::fromLatin1(name), value);
    }

    QTemporaryDir settingsDir;
    ScriptedPrompter prompter;
};

class FakeShell : public ShellServices {
public:
    FakeShell() { link.language = 1; }
    LinkContext link;
    bool simulator = true;
    bool running = false;
    bool blankResult = true;
    int blanked = 0;

    LinkContext& Link() override { return link; }
    uint8_t Send(LinkRequest& request) override {
        DeviceRecord none;
        return Dispatch(link, request, none);
    }
    bool SimulatorInUse() const override { return simulator; }
    bool BlankSocketChip(QString& message) override {
        ++blanked;
        message = blankResult ? QStringLiteral("blanked") : QStringLiteral("empty socket");
        return blankResult;
    }
    bool OperationRunning() const override { return running; }
};

}  // namespace krt::dialogtest
