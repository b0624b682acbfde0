// GAL/PLD family: the chip's edit mode driven through the programmer's data
// lines. Six row-address lines, serial data in, a shift clock and the
// program/verify line sit in a 16-bit port word (DLSET low byte, DHSET high
// byte); DLSEND is the timed /STB; serial data out comes back in the DLREAD
// reply. A row is shifted in bit by bit and programmed with one strobe, or
// loaded by a strobe and shifted out bit by bit.
//
// The data buffer holds the fuse image, one byte (0 or 1) per fuse in JEDEC
// order; its layout comes from the record (ACWBase, ASRBase, SigBase,
// LineNumber, ArrayLen, maxsize). Type codes 5 and 6 address rows on the row
// lines and have an 82-bit ACW row; type code 7 (22V10) shifts the row
// address in behind the data and has a 20-bit ASR row.
//
// No operation moves the current address: the log lines are the progress.
#pragma once

#include <cstdint>
#include <vector>

#include "families/ZVDevice.h"

namespace krt {

class ZVGAL : public ZVDevice {
public:
    static constexpr int kShiftBits = 256;

    ZVGAL(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    bool PowerOn(bool programming) override;
    void PowerOff() override;
    uint8_t Read() override;
    uint8_t Write() override;
    uint8_t Verify() override;
    uint8_t Erase() override;
    uint8_t Secure() override;
    uint8_t BlankCheck() override;
    uint8_t DeviceOption() override;
    uint8_t Stop() override;

    // Shift position -> offset from ACWBase of the 82 ACW bits (codes 5, 6).
    static int AcwOffset(int position);

    // Fields after the base's.
    uint8_t shift[kShiftBits];  // one bit (0 or 1) per element; element 0 is first on the wire
    uint16_t portWord = 0;
    uint8_t programVerify = 0;
    uint8_t dataIn = 0;
    uint8_t clockLine = 0;

private:
    struct Lines {
        uint16_t row[6];
        uint16_t programVerify;
        uint8_t dataOut;  // bit of the DLREAD reply
    };
    static constexpr uint16_t kDataIn = 0x0001;
    static constexpr uint16_t kClock = 0x0002;

    const Lines& LinesOf() const;
    // The record fits the fuse image and the shift buffer, the type code has
    // a wiring and there is a buffer; logs the reason otherwise.
    bool Usable();
    bool Serial() const { return typeCode == 7; }
    bool Stalled() const { return link_.readyTimedOut; }

    void SendPortWord();
    void SetRow(int row);
    void ApplyLines();
    // pulseSeconds: the strobe's length when programming; negative: tpw.
    bool ShiftIn(int count, bool program, double pulseSeconds = -1.0);
    static unsigned WaitMs(double seconds, unsigned fixedMs);
    bool ShiftOut(int count);
    int WriteRow(int row, int count);
    // quiet: without the per-line log (the read-back checks).
    bool ReadFuseMap(bool quiet = false);
    bool RangeRefused();
    uint32_t CountFunctional(uint8_t value) const;
    uint8_t CheckReadBack(bool erased);
    void SayIfReadsSecured();
    void PutRowAddress(int at, int row);

    // Compares the buffer with `other` over maxsize fuses (the signature
    // skipped unless `blank`), with the family's lines and its error limit.
    uint32_t Compare(const std::vector<uint8_t>& other, bool writeLines);
    uint32_t BlankCount();
    void Summary(uint32_t errors);

    uint8_t* fuses_ = nullptr;
    uint32_t lines_ = 0;    // LineNumber
    uint32_t columns_ = 0;  // ArrayLen
};

}  // namespace krt
