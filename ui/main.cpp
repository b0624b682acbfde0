// SPDX-License-Identifier: GPL-3.0-or-later
// krtwin: the window program.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

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
    // -V as krt has it; -v as Qt's own version option had it.
    QCommandLineOption version{{QStringLiteral("V"), QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Print the version and end.")};

    void AddTo(QCommandLineParser& parser) {
        parser.setApplicationDescription(QStringLiteral("KRTwin, the control program of the KRT device programmer"));
        parser.addHelpOption();
        parser.addOption(version);
        parser.addOption(port);
        parser.addOption(catalogue);
        parser.addOption(chips);
        parser.addOption(startupTime);
        parser.addPositionalArgument(QStringLiteral("FILE"),
                                     QStringLiteral("A data file (Intel HEX, Motorola S, JEDEC or binary), read "
                                                    "once a device is selected."),
                                     QStringLiteral("[FILE]"));
    }
};

// Whether a window system can be reached: a platform named by
// QT_QPA_PLATFORM, or an X or Wayland display. Without one, Qt would abort
// in QApplication's constructor.
bool DisplayNamed() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

// A display that is named but cannot be opened ends in Qt's fatal message
// while the application is made: one line, and status 1 instead of an abort.
void EndWhenTheWindowSystemFails(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) return;
    std::fprintf(stderr, "krtwin: the window system cannot be opened: %s\n",
                 qPrintable(message.section(QLatin1Char('\n'), 0, 0)));
    std::_Exit(1);
}

}  // namespace

int main(int argc, char* argv[]) {
    krt::OpenStandardDescriptors();
    QElapsedTimer startClock;
    startClock.start();
    // The options are read before a window system is opened, so that a
    // wrong one, --help and --version answer where there is no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    Options known;
    known.AddTo(parser);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "krtwin: %s (krtwin --help lists the options)\n", qPrintable(parser.errorText()));
        return 1;
    }
    if (parser.positionalArguments().size() > 1) {
        std::fprintf(stderr, "krtwin: one data file at most (krtwin --help lists the options)\n");
        return 1;
    }
    if (parser.isSet(known.version)) {
        std::printf("krtwin %s\n", krt::ProgramVersion());
        return 0;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        QCoreApplication core(argc, argv);
        NameApplication();
        parser.process(core);  // prints the text and ends the program
        return 0;
    }
    if (!DisplayNamed()) {
        std::fprintf(stderr,
                     "krtwin: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                     "krt is the command line\n");
        return 1;
    }
    const QtMessageHandler qtMessages = qInstallMessageHandler(EndWhenTheWindowSystemFails);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessages);
    NameApplication();
    QApplication::setApplicationDisplayName(QString());

    krt::InstallJapaneseFont();
    krt::StartOptions options;
    options.port = parser.value(known.port);
    options.catalogueDir = parser.value(known.catalogue);
    options.chipDir = parser.value(known.chips);

    krt::TQV17MainForm form(options);
    form.FormCreate();
    form.show();
    // The data file of the command line (a desktop's "open with"): its
    // absolute name, since the log and File Save name it later.
    if (!parser.positionalArguments().isEmpty())
        form.OpenOnceSelected(QFileInfo(parser.positionalArguments().first()).absoluteFilePath());
    if (parser.isSet(known.startupTime)) {
        QTimer::singleShot(0, &app, [&] {
            std::printf("main window shown after %.1f ms\n", startClock.nsecsElapsed() / 1e6);
            std::fflush(stdout);
            QApplication::quit();
        });
    }
    return QApplication::exec();
}
