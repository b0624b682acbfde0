// krtwin: the window program.
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "JapaneseFont.h"
#include "TQV17MainForm.h"

int main(int argc, char* argv[]) {
    QElapsedTimer startClock;
    startClock.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QV17win"));
    QApplication::setOrganizationName(QStringLiteral("Kavimeru"));
    QApplication::setApplicationDisplayName(QString());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("KRTwin, the control program of the KRT device programmer"));
    parser.addHelpOption();
    QCommandLineOption port(QStringLiteral("port"),
                            QStringLiteral("Programmer connection: sim, ppdev, ppdev:/dev/parportN or direct "
                                           "(default: the configured one)."),
                            QStringLiteral("PORT"));
    QCommandLineOption catalogue(QStringLiteral("catalogue"),
                                 QStringLiteral("Directory of DEVICE.LST and the parameter files."),
                                 QStringLiteral("DIR"));
    QCommandLineOption chips(QStringLiteral("sim-chips"),
                             QStringLiteral("Directory where the simulated chips are kept."),
                             QStringLiteral("DIR"));
    QCommandLineOption startupTime(QStringLiteral("startup-time"),
                                   QStringLiteral("Print the time to the shown main window and quit."));
    parser.addOption(port);
    parser.addOption(catalogue);
    parser.addOption(chips);
    parser.addOption(startupTime);
    parser.process(app);

    krt::InstallJapaneseFont();
    krt::StartOptions options;
    options.port = parser.value(port);
    options.catalogueDir = parser.value(catalogue);
    options.chipDir = parser.value(chips);

    krt::TQV17MainForm form(options);
    form.FormCreate();
    form.show();
    if (parser.isSet(startupTime)) {
        QTimer::singleShot(0, &app, [&] {
            std::printf("main window shown after %.1f ms\n", startClock.nsecsElapsed() / 1e6);
            std::fflush(stdout);
            QApplication::quit();
        });
    }
    return QApplication::exec();
}
