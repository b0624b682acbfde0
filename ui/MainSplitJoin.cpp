// SPDX-License-Identifier: GPL-3.0-or-later
// File > Split and File > Join: the even and odd bytes of an image (two
// 8-bit chips of a 16-bit bus) into two files and back, as krt split and
// krt join do with --even and --odd (data/RomSet).
#include <string>
#include <vector>

#include "WindowTexts.h"
#include "Prompter.h"
#include "TForm3.h"
#include "TQV17MainForm.h"
#include "base/Texts.h"
#include "data/RomSet.h"

namespace krt {

namespace {

constexpr TextPair kSplitItem{"偶数・奇数バイトに分割(&I)...", "Spl&it into even and odd bytes..."};
constexpr TextPair kJoinItem{"偶数・奇数バイトを結合(&J)...", "&Join even and odd bytes..."};
constexpr TextPair kSplitSource{"分割するイメージ", "Image to split"};
constexpr TextPair kEvenFile{"偶数バイトのファイル", "File of the even bytes"};
constexpr TextPair kOddFile{"奇数バイトのファイル", "File of the odd bytes"};
constexpr TextPair kJoinTarget{"結合したイメージ", "Joined image"};
constexpr TextPair kWritten{"%1: %2 バイト", "%1: %2 bytes"};

const QString& Filter() {
    static const QString filter =
        QStringLiteral("all files(*.*) (*);;Intel HEX files(*.hex);;Motolora S files(*.mot)");
    return filter;
}

}  // namespace

QString SplitJoinMenuText(uint32_t language, bool join) { return TextIn(join ? kJoinItem : kSplitItem, language); }

void TQV17MainForm::FileSplit1Execute() {
    if (Inert()) return;
    Prompter& ask = Prompter::Current();
    const QString in = ask.OpenFileName(this, TextIn(kSplitSource, language_), Filter());
    if (in.isEmpty()) return;
    const QString even = ask.SaveFileName(this, TextIn(kEvenFile, language_), Filter());
    if (even.isEmpty()) return;
    const QString odd = ask.SaveFileName(this, TextIn(kOddFile, language_), Filter());
    if (odd.isEmpty()) return;
    std::string error;
    std::vector<uint8_t> image;
    std::vector<std::vector<uint8_t>> lanes;
    const RomSetLayout layout;
    bool ok = ReadImageFile(in.toStdString(), FORMAT_BY_NAME, image, error, language_) &&
              SplitImage(image, layout, lanes, error, language_);
    const QString outs[] = {even, odd};
    for (size_t i = 0; ok && i < 2; ++i) {
        ok = WriteImageFile(outs[i].toStdString(), FORMAT_BY_NAME, lanes[i], error, language_);
        if (ok) Log(TextIn(kWritten, language_).arg(outs[i]).arg(lanes[i].size()));
    }
    if (!ok) {
        Log(QString::fromStdString(error));
        ask.Box(this, QString::fromStdString(error), QString::fromLatin1(kMessageCaption), QMessageBox::Ok);
    }
}

void TQV17MainForm::FileJoin1Execute() {
    if (Inert()) return;
    Prompter& ask = Prompter::Current();
    const QString even = ask.OpenFileName(this, TextIn(kEvenFile, language_), Filter());
    if (even.isEmpty()) return;
    const QString odd = ask.OpenFileName(this, TextIn(kOddFile, language_), Filter());
    if (odd.isEmpty()) return;
    const QString out = ask.SaveFileName(this, TextIn(kJoinTarget, language_), Filter());
    if (out.isEmpty()) return;
    std::string error;
    std::vector<std::vector<uint8_t>> lanes(2);
    std::vector<uint8_t> image;
    const std::vector<std::string> names = {even.toStdString(), odd.toStdString()};
    const bool ok = ReadImageFile(names[0], FORMAT_BY_NAME, lanes[0], error, language_) &&
                    ReadImageFile(names[1], FORMAT_BY_NAME, lanes[1], error, language_) &&
                    JoinImages(lanes, names, RomSetLayout(), image, error, language_) &&
                    WriteImageFile(out.toStdString(), FORMAT_BY_NAME, image, error, language_);
    if (ok) {
        Log(TextIn(kWritten, language_).arg(out).arg(image.size()));
        return;
    }
    Log(QString::fromStdString(error));
    ask.Box(this, QString::fromStdString(error), QString::fromLatin1(kMessageCaption), QMessageBox::Ok);
}

}  // namespace krt
