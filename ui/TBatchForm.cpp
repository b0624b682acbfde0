// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTexts.h"
#include "TBatchForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "FileFolders.h"
#include "Prompter.h"
#include "base/StatusMessages.h"
#include "base/Texts.h"
#include "session/Batch.h"
#include "session/Operations.h"
#include "session/Session.h"

namespace krt {

namespace {

// The dialog's texts.
constexpr TextPair kMenu{"連続書き込み(&T)...", "Ba&tch..."};
constexpr TextPair kTitle{"連続書き込み", "Batch"};
constexpr TextPair kModeAuto{"自動書き込み（ブランクチェック・書き込み・ベリファイ）",
                             "Automatic write (blank check, write, verify)"};
constexpr TextPair kModeWrite{"書き込みとベリファイ", "Write and verify"};
constexpr TextPair kMode{"操作", "Operation"};
constexpr TextPair kCount{"個数（0: 停止まで）", "Chips (0: until stopped)"};
constexpr TextPair kSerial{"シリアル番号を書き込む", "Write a serial number"};
constexpr TextPair kAddress{"アドレス(16進)", "Address (hex)"};
constexpr TextPair kBatchWidth{"バイト数", "Width (bytes)"};
constexpr TextPair kEncoding{"形式", "Encoding"};
constexpr TextPair kStart{"開始番号（空欄: ログの続き）", "Start (empty: go on from the log)"};
constexpr TextPair kStep{"増分", "Step"};
constexpr TextPair kLog{"ログファイル", "Log file"};
constexpr TextPair kStopOnFailure{"不良で停止", "Stop at the first failure"};
constexpr TextPair kForce{"ファイルのデータに上書きを許す", "Let the serial overwrite file data"};
constexpr TextPair kChipDir{"チップファイルのフォルダ（シミュレータ）", "Chip files (simulator)"};
constexpr TextPair kStartButton{"開始", "Start"};
constexpr TextPair kStopButton{"停止", "Stop"};
constexpr TextPair kBatchCloseButton{"閉じる", "Close"};
// %1 chips done, %2 failed.
constexpr TextPair kCountText{"%1個完了、不良%2個", "%1 done, %2 failed"};
constexpr TextPair kSerialText{"最後のシリアル番号: %1", "Last serial: %1"};
constexpr TextPair kResultText{"最後の結果: %1", "Last result: %1"};
// %1 the chip's index.
constexpr TextPair kNextChip{"%1個目のデバイスをソケットにセットしてください",
                             "Set device %1 on the socket"};
constexpr TextPair kSimNeedsCount{"シミュレータでは個数とチップファイルのフォルダが必要です",
                                  "On the simulator the batch needs a count and the chip files' folder"};
constexpr TextPair kSummary{"連続書き込み: %1個完了、不良%2個", "Batch: %1 chips done, %2 failed"};
// The encodings of the serial, in the order of the box's items.
constexpr TextPair kEncodingTips[4] = {
    {"le: 2進数、下位バイトが先（1234 は 4 バイトで D2 04 00 00）",
     "le: binary, lowest byte first (1234 in 4 bytes: D2 04 00 00)"},
    {"be: 2進数、上位バイトが先（1234 は 4 バイトで 00 00 04 D2）",
     "be: binary, highest byte first (1234 in 4 bytes: 00 00 04 D2)"},
    {"bcd: 1バイトに10進2桁、上位の桁が先（1234 は 4 バイトで 00 00 12 34）",
     "bcd: two decimal digits a byte, highest digits first (1234 in 4 bytes: 00 00 12 34)"},
    {"ascii: 10進の文字、0で埋める（1234 は 4 バイトで \"1234\"、6 バイトで \"001234\"）",
     "ascii: decimal characters padded with 0 (1234 in 4 bytes: \"1234\", in 6: \"001234\")"}};
constexpr TextPair kBrowse{"参照(&R)...", "&Browse..."};
constexpr TextPair kBatchLogFilter{"連続書き込みのログ (*.log *.jsonl);;すべてのファイル (*)",
                              "batch logs (*.log *.jsonl);;all files (*)"};
// %1 the last serial the log shows as used, %2 the start typed.
constexpr TextPair kSerialsUsed{
    "ログによると、シリアル番号は%1まで使われています。%2から始めると、使用済みの番号をもう一度書きこみます。開始しますか？",
    "The log shows the serials up to %1 as used: starting at %2 writes used serials again. Start anyway?"};

}  // namespace

QString BatchMenuText(uint32_t language) { return TextIn(kMenu, language); }

// The window's face of a batch: the next chip is asked for with a box (on
// the simulator the chip files stand in for the user), and each request
// runs on a worker thread while the dialog keeps taking events, so that
// Stop cancels the chip's running operation.
class WindowBatchFace final : public BatchFace {
public:
    WindowBatchFace(TBatchForm& form, const SimChipSeries* series) : form_(form), series_(series) {}

    bool NextChip(uint32_t index) override {
        if (series_) {
            std::string error;
            if (series_->Insert(form_.session_, index, error)) return true;
            Prompter::Current().Box(&form_, QString::fromStdString(error), QString::fromLatin1(kMessageCaption),
                                    QMessageBox::Ok);
            return false;
        }
        const auto answer = Prompter::Current().Box(&form_, TextIn(kNextChip, form_.language_).arg(index),
                                                    TextIn(kTitle, form_.language_),
                                                    QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Question);
        return answer == QMessageBox::Ok;
    }

    uint8_t RunRequest(LinkRequest& request) override {
        Done observer;
        OperationWorker work(form_.session_, request, form_.session_.record, observer);
        std::thread worker([&work] { work.Run(); });
        bool canceled = false;
        while (!observer.IsDone()) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            if (form_.stop_ && !canceled) {
                form_.session_.link.CancelOperation();
                canceled = true;
            }
            observer.Wait(std::chrono::milliseconds(5));
        }
        worker.join();
        return observer.result;
    }

    bool StopRequested() override {
        QApplication::processEvents();
        return form_.stop_;
    }

    void ChipStarted(uint32_t index, const std::string& serial) override {
        (void)index;
        if (!serial.empty()) form_.SerialLabel->setText(TextIn(kSerialText, form_.language_).arg(QString::fromStdString(serial)));
    }

    void ChipFinished(const BatchChip& chip) override { form_.ShowChip(chip); }

private:
    using Done = FinishSignal;

    TBatchForm& form_;
    const SimChipSeries* series_;
};

TBatchForm::TBatchForm(QWidget* parent, Session& session, uint32_t language, const QString& simChipDir)
    : QDialog(parent), session_(session), language_(language) {
    setObjectName(QStringLiteral("TBatchForm"));
    setWindowTitle(TextIn(kTitle, language));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    ModeBox = new QComboBox(this);
    ModeBox->setObjectName(QStringLiteral("ModeBox"));
    ModeBox->addItems({TextIn(kModeAuto, language), TextIn(kModeWrite, language)});
    form->addRow(TextIn(kMode, language), ModeBox);
    CountSpin = new QSpinBox(this);
    CountSpin->setObjectName(QStringLiteral("CountSpin"));
    CountSpin->setRange(0, 999999);
    form->addRow(TextIn(kCount, language), CountSpin);
    SerialCheck = new QCheckBox(TextIn(kSerial, language), this);
    SerialCheck->setObjectName(QStringLiteral("SerialCheck"));
    form->addRow(SerialCheck);
    AddressEdit = new QLineEdit(QStringLiteral("0"), this);
    AddressEdit->setObjectName(QStringLiteral("AddressEdit"));
    form->addRow(TextIn(kAddress, language), AddressEdit);
    WidthSpin = new QSpinBox(this);
    WidthSpin->setObjectName(QStringLiteral("WidthSpin"));
    WidthSpin->setRange(1, 20);
    WidthSpin->setValue(4);
    form->addRow(TextIn(kBatchWidth, language), WidthSpin);
    EncodingBox = new QComboBox(this);
    EncodingBox->setObjectName(QStringLiteral("EncodingBox"));
    EncodingBox->addItems({QStringLiteral("le"), QStringLiteral("be"), QStringLiteral("bcd"), QStringLiteral("ascii")});
    QStringList tips;
    for (int i = 0; i < 4; ++i) {
        EncodingBox->setItemData(i, TextIn(kEncodingTips[i], language), Qt::ToolTipRole);
        tips << TextIn(kEncodingTips[i], language);
    }
    EncodingBox->setToolTip(tips.join(QLatin1Char('\n')));
    form->addRow(TextIn(kEncoding, language), EncodingBox);
    StartEdit = new QLineEdit(this);
    StartEdit->setObjectName(QStringLiteral("StartEdit"));
    form->addRow(TextIn(kStart, language), StartEdit);
    StepEdit = new QLineEdit(QStringLiteral("1"), this);
    StepEdit->setObjectName(QStringLiteral("StepEdit"));
    form->addRow(TextIn(kStep, language), StepEdit);
    LogEdit = new QLineEdit(this);
    LogEdit->setObjectName(QStringLiteral("LogEdit"));
    LogBrowse = new QPushButton(TextIn(kBrowse, language), this);
    LogBrowse->setObjectName(QStringLiteral("LogBrowse"));
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(LogEdit, 1);
    logRow->addWidget(LogBrowse);
    form->addRow(TextIn(kLog, language), logRow);
    connect(LogBrowse, &QPushButton::clicked, this, [this] {
        // A log that exists is taken as it is: the batch goes on from it.
        const QString name = Prompter::Current().SaveFileName(this, TextIn(kLog, language_), TextIn(kBatchLogFilter, language_));
        if (!name.isEmpty()) LogEdit->setText(name);
    });
    StopOnFailureCheck = new QCheckBox(TextIn(kStopOnFailure, language), this);
    StopOnFailureCheck->setObjectName(QStringLiteral("StopOnFailureCheck"));
    form->addRow(StopOnFailureCheck);
    ForceCheck = new QCheckBox(TextIn(kForce, language), this);
    ForceCheck->setObjectName(QStringLiteral("ForceCheck"));
    form->addRow(ForceCheck);
    ChipDirEdit = new QLineEdit(simChipDir, this);
    ChipDirEdit->setObjectName(QStringLiteral("ChipDirEdit"));
    form->addRow(TextIn(kChipDir, language), ChipDirEdit);
    ChipDirEdit->setVisible(session.Simulated());
    if (!session.Simulated()) form->labelForField(ChipDirEdit)->setVisible(false);

    CountLabel = new QLabel(TextIn(kCountText, language).arg(0).arg(0), this);
    CountLabel->setObjectName(QStringLiteral("CountLabel"));
    SerialLabel = new QLabel(this);
    SerialLabel->setObjectName(QStringLiteral("SerialLabel"));
    ResultLabel = new QLabel(this);
    ResultLabel->setObjectName(QStringLiteral("ResultLabel"));
    layout->addWidget(CountLabel);
    layout->addWidget(SerialLabel);
    layout->addWidget(ResultLabel);

    auto* buttons = new QHBoxLayout;
    StartButton = new QPushButton(TextIn(kStartButton, language), this);
    StartButton->setObjectName(QStringLiteral("StartButton"));
    StopButton = new QPushButton(TextIn(kStopButton, language), this);
    StopButton->setObjectName(QStringLiteral("StopButton"));
    StopButton->setEnabled(false);
    CloseButton = new QPushButton(TextIn(kBatchCloseButton, language), this);
    CloseButton->setObjectName(QStringLiteral("CloseButton"));
    buttons->addWidget(StartButton);
    buttons->addWidget(StopButton);
    buttons->addWidget(CloseButton);
    layout->addLayout(buttons);
    connect(StartButton, &QPushButton::clicked, this, &TBatchForm::StartClick);
    connect(StopButton, &QPushButton::clicked, this, &TBatchForm::StopClick);
    connect(CloseButton, &QPushButton::clicked, this, &TBatchForm::reject);
}

void TBatchForm::SetEditable(bool editable) {
    for (QWidget* w : std::initializer_list<QWidget*>{ModeBox, CountSpin, SerialCheck, AddressEdit, WidthSpin,
                                                      EncodingBox, StartEdit, StepEdit, LogEdit, LogBrowse, StopOnFailureCheck,
                                                      ForceCheck, ChipDirEdit, StartButton, CloseButton})
        w->setEnabled(editable);
    StopButton->setEnabled(!editable);
}

void TBatchForm::ShowChip(const BatchChip& chip) {
    ++done_;
    if (chip.result != RESULT_OK) ++failed_;
    CountLabel->setText(TextIn(kCountText, language_).arg(done_).arg(failed_));
    if (!chip.serial.empty()) SerialLabel->setText(TextIn(kSerialText, language_).arg(QString::fromStdString(chip.serial)));
    ResultLabel->setText(
        TextIn(kResultText, language_).arg(QString::fromStdString(ResultText(language_, chip.result))));
}

void TBatchForm::StartClick() {
    if (running_) return;
    auto refuse = [this](const QString& text) {
        Prompter::Current().Box(this, text, QString::fromLatin1(kMessageCaption), QMessageBox::Ok);
    };
    BatchSettings settings;
    settings.automatic = ModeBox->currentIndex() == 0;
    settings.count = static_cast<uint32_t>(CountSpin->value());
    settings.logPath = LogEdit->text().trimmed().toStdString();
    settings.stopOnFailure = StopOnFailureCheck->isChecked();
    settings.force = ForceCheck->isChecked();
    // A refusal names this dialog's own check box, not krt's option.
    settings.allowOverwrite =
        QStringLiteral("tick \"%1\"").arg(ForceCheck->text().remove(QLatin1Char('&'))).toStdString();
    std::string error;
    if (SerialCheck->isChecked()) {
        // The same text as krt's --serial, so that both faces read it alike.
        QString text = AddressEdit->text().trimmed() + QLatin1Char(':') + QString::number(WidthSpin->value());
        if (!StartEdit->text().trimmed().isEmpty())
            text += QLatin1Char(':') + StartEdit->text().trimmed() + QLatin1Char(':') + StepEdit->text().trimmed();
        text += QLatin1Char(':') + EncodingBox->currentText();
        if (!ParseSerialFormat(text.toStdString(), settings.serial, error)) {
            refuse(QString::fromStdString(error));
            return;
        }
    }
    SimChipSeries series;
    const bool simulated = session_.Simulated();
    if (simulated) {
        series.directory = ChipDirEdit->text().trimmed().toStdString();
        if (series.directory.empty() || settings.count == 0) {
            refuse(TextIn(kSimNeedsCount, language_));
            return;
        }
    }
    // Serials the log has already used are not written again without a word.
    if (settings.serial.used && settings.serial.startGiven && !settings.logPath.empty()) {
        BatchState state;
        std::string ignored;
        if (ReadBatchState(BatchStatePath(settings.logPath), state, ignored) && !state.serial.empty() &&
            state.nextSerial > settings.serial.start) {
            const QString lastUsed = QString::number(state.nextSerial - settings.serial.step);
            const QString text = TextIn(kSerialsUsed, language_).arg(lastUsed, QString::number(settings.serial.start));
            if (Prompter::Current().Ask(this, text, windowTitle(), QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
                QMessageBox::Yes)
                return;
        }
    }
    Batch batch(session_, settings);
    if (!batch.Prepare(error)) {
        refuse(QString::fromStdString(error));
        return;
    }
    running_ = true;
    stop_ = false;
    done_ = failed_ = 0;
    SetEditable(false);
    WindowBatchFace face(*this, simulated ? &series : nullptr);
    const BatchSummary summary = batch.Run(face);
    running_ = false;
    SetEditable(true);
    // The log's folder is the browse dialog's next start once the log is written.
    if (!settings.logPath.empty() && QFileInfo::exists(LogEdit->text().trimmed()))
        RememberFolder(TextIn(kBatchLogFilter, language_), LogEdit->text().trimmed());
    if (LogSink* log = session_.Log())
        log->line(TextIn(kSummary, language_).arg(summary.done).arg(summary.failed).toStdString());
    if (!summary.problem.empty()) refuse(QString::fromStdString(summary.problem));
}

void TBatchForm::StopClick() { stop_ = true; }

void TBatchForm::reject() {
    // Closing while a batch runs stops it first; the dialog closes after.
    if (running_) {
        stop_ = true;
        return;
    }
    QDialog::reject();
}

}  // namespace krt
