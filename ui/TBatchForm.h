// SPDX-License-Identifier: GPL-3.0-or-later
// The Batch dialog (Operation menu): a production run of the loaded image
// into a series of chips, with the settings of krt batch, a running count,
// the last serial and the last result. It drives the session's Batch.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace krt {

class Session;
struct BatchChip;

// The menu item's text.
QString BatchMenuText(uint32_t language);

class TBatchForm : public QDialog {
    Q_OBJECT

public:
    // simChipDir: with the simulator, where each chip of the batch has its file.
    TBatchForm(QWidget* parent, Session& session, uint32_t language, const QString& simChipDir);

    bool Running() const { return running_; }

public slots:
    void StartClick();
    void StopClick();

public:
    QComboBox* ModeBox = nullptr;       // automatic write / write and verify
    QSpinBox* CountSpin = nullptr;      // 0: until stopped
    QCheckBox* SerialCheck = nullptr;
    QLineEdit* AddressEdit = nullptr;   // hexadecimal
    QSpinBox* WidthSpin = nullptr;
    QComboBox* EncodingBox = nullptr;   // le, be, bcd, ascii
    QLineEdit* StartEdit = nullptr;     // empty: go on from the log
    QLineEdit* StepEdit = nullptr;
    QLineEdit* LogEdit = nullptr;
    QPushButton* LogBrowse = nullptr;   // chooses the log file
    QCheckBox* StopOnFailureCheck = nullptr;
    QCheckBox* ForceCheck = nullptr;
    QLineEdit* ChipDirEdit = nullptr;   // simulator only
    QLabel* CountLabel = nullptr;
    QLabel* SerialLabel = nullptr;
    QLabel* ResultLabel = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* StopButton = nullptr;
    QPushButton* CloseButton = nullptr;

protected:
    void reject() override;

private:
    friend class WindowBatchFace;
    void ShowChip(const BatchChip& chip);
    void SetEditable(bool editable);

    Session& session_;
    uint32_t language_;
    bool running_ = false;
    std::atomic<bool> stop_{false};
    uint32_t done_ = 0;
    uint32_t failed_ = 0;
};

}  // namespace krt
