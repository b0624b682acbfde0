// SPDX-License-Identifier: GPL-3.0-or-later
// krtwin: the window program.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "JapaneseFont.h"
#include "TQV17MainForm.h"
#include "base/Version.h"
#include "platform/Platform.h"

namespace {

// The program's name on disk and in its messages; the window's captions
// keep their own texts.
void NameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("krtwin"));
    QCoreApplication::setOrganizationName(QStringLiteral("Kavimeru"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(krt::ProgramVersion()));
}

struct Options {
    QCommandLineOption port{QStringLiteral("port"),
                            QStringLiteral("Programmer connection: sim, ppdev, ppdev:/dev/parportN or direct "
                                           "(default: the configured one)."),
                            QStringLiteral("PORT")};
    QCommandLineOption catalogue{QStringLiteral("catalogue"),
                                 QStringLiteral("Directory of DEVICE.LST and the parameter files."),
                                 QStringLiteral("DIR")};
    QCommandLineOption chips{QStringLiteral("sim-chips"),
                             QStringLiteral("Directory where the simulated chips are kept."), QStringLiteral("DIR")};
    QCommandLineOption startupTime{QStringLiteral("startup-time"),
                                   QStringLiteral("Print the time to the shown main window and quit.")};

    void AddTo(QCommandLineParser& parser) {
        parser.setApplicationDescription(QStringLiteral("KRTwin, the control program of the KRT device programmer"));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(port);
        parser.addOption(catalogue);
        parser.addOption(chips);
        parser.addOption(startupTime);
    }
};

// --help and --version print and end before a window system is opened, so
// that they answer where there is no display.
bool AsksOnlyForText(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        for (const char* text : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], text) == 0) return true;
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    krt::OpenStandardDescriptors();
    QElapsedTimer startClock;
    startClock.start();
    if (AsksOnlyForText(argc, argv)) {
        QCoreApplication core(argc, argv);
        NameApplication();
        QCommandLineParser parser;
        Options options;
        options.AddTo(parser);
        parser.process(core);  // prints the text and ends the program
        return 0;
    }
    QApplication app(argc, argv);
    NameApplication();
    QApplication::setApplicationDisplayName(QString());

    QCommandLineParser parser;
    Options known;
    known.AddTo(parser);
    parser.process(app);

    krt::InstallJapaneseFont();
    krt::StartOptions options;
    options.port = parser.value(known.port);
    options.catalogueDir = parser.value(known.catalogue);
    options.chipDir = parser.value(known.chips);

    krt::TQV17MainForm form(options);
    form.FormCreate();
    form.show();
    if (parser.isSet(known.startupTime)) {
        QTimer::singleShot(0, &app, [&] {
            std::printf("main window shown after %.1f ms\n", startClock.nsecsElapsed() / 1e6);
            std::fflush(stdout);
            QApplication::quit();
        });
    }
    return QApplication::exec();
}
