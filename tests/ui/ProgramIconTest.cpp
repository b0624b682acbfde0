// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own icon, the one the package installs, is what the main
// window and the About box show: compiled into the program and loaded, not
// a blank or the style's generic picture.
#include <QIcon>
#include <QImage>
#include <QLabel>

#include "TAboutBox.h"
#include "UiTestSupport.h"

namespace krt::test {
namespace {

QImage Rendered(const QIcon& icon, int size) { return icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32); }

QImage InstalledIcon(int size) {
    return Rendered(QIcon(QStringLiteral(KRT_SOURCE_DIR "/packaging/krtwin.svg")), size);
}

class ProgramIcon : public WindowTest {};

TEST_F(ProgramIcon, MainWindowShowsTheInstalledIcon) {
    WriteValidSettings();
    Start();
    const QIcon icon = form->windowIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage shown = Rendered(icon, 32);
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown, InstalledIcon(32));
}

TEST_F(ProgramIcon, AboutBoxShowsTheInstalledIcon) {
    WriteValidSettings();
    Start();
    TAboutBox box;
    const QLabel* label = box.findChild<QLabel*>(QStringLiteral("ProgramIcon"));
    ASSERT_NE(label, nullptr);
    const QPixmap shown = label->pixmap();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.toImage().convertToFormat(QImage::Format_ARGB32), InstalledIcon(48));
}

}  // namespace
}  // namespace krt::test
