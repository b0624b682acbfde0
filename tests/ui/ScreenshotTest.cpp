// Writes PNGs of the main window in both languages, the parameter editor
// and the progress dialog into the build directory, for people to look at.
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressBar>
#include <iostream>

#include "UiTestSupport.h"
#include "ui/TWConfigForm.h"

namespace krt::test {
namespace {

class Screenshot : public WindowTest {
protected:
    QString Out(const char* name) {
        QDir().mkpath(QStringLiteral(KRT_BINARY_DIR "/screenshots"));
        return QStringLiteral(KRT_BINARY_DIR "/screenshots/") + QString::fromLatin1(name);
    }
    void Grab(QWidget& w, const char* name) {
        Settle(50);
        const QPixmap pm = w.grab();
        EXPECT_FALSE(pm.isNull());
        EXPECT_TRUE(pm.save(Out(name)));
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
        if (language == 1) {
            form->ParamEditor()->show();
            Grab(*form->ParamEditor(), "parameter-editor.png");
            form->ParamEditor()->hide();
            TProgressForm& p = *form->ProgressForm();
            p.PrepareProgress(0x8000, QStringLiteral("Now writing.."));
            p.ProgressBar1->setValue(0x3000);
            p.StaticText1->setText(QString::asprintf("%d/%d (%3.0f%%)終了しました", 0x3000, 0x8000,
                                                     0x3000 * 100.0 / 0x8000));
            p.show();
            p.Timer1->stop();
            Grab(p, "progress.png");
            p.hide();
        }
        form.reset();
    }
}

}  // namespace
}  // namespace krt::test
