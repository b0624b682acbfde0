// SPDX-License-Identifier: GPL-3.0-or-later
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
// Atmel's ATF parts (the record's galpart) share the wiring and the fuse
// map of their Lattice twins and differ in the edit-mode details: separate
// erase pulse and voltage; on the 22V10s P/V low while bits are shifted and
// the signature after 68 fill bits; on the 22V10C the row address most
// significant bit first with its last bit left on SDIN through the strobe
// (the 20th configuration bit likewise); on the 16V8C P/V high while a row
// is read out; on both C parts a power-down fuse programmed through row 59.
//
// No operation moves the current address: the log lines are the progress.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "families/GalSignature.h"
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

    // Decodes 64 PES bits (shift order) by the algorithm table the GAL
    // programmers share.
    static GalSignature DecodeSignature(const uint8_t* bits) { return DecodeGalSignature(bits); }

    // The chip check's identity: the signature read and described, the
    // supplies on and off again; false when the programmer stopped answering.
    bool ReadIdentity(GalSignature& signature, std::string& described);

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
    bool ShiftOut(int count, bool pvHigh = false);
    int WriteRow(int row, int count);
    // quiet: without the per-line log (the read-back checks).
    bool ReadFuseMap(bool quiet = false);
    bool RangeRefused();
    uint32_t CountFunctional(uint8_t value) const;
    uint8_t CheckReadBack(bool erased);
    void SayIfReadsSecured();
    void PutRowAddress(int at, int row);
    // The ATF details of the record's galpart; false for a name this family
    // does not know.
    bool TakeAlgorithm();
    // Who is in the socket, read at the read level before anything else:
    // refuses (result 4, supplies off) a part of another algorithm or, when
    // `programming`, another part; sets the programming voltage and pulse
    // that the chip's signature allows and, when `programming`, leaves the
    // chip powered at the read level. False: the operation ends with `result`.
    bool Identify(uint8_t& result, bool programming);
    bool RefuseSignature(const GalSignature& s, uint8_t& result, bool programming);
    bool RaiseToProgramming();
    // The power-down fuse (C parts): programmed when the buffer's is 0, read into it.
    bool WritePowerDown();
    void ReadPowerDown();
    uint32_t PowerDownFuse() const { return record->maxsize - 1; }
    // Powered: the PES row (on a 16V8 socket read again with P/V high when
    // the first reading names nothing, as an ATF16V8C answers only so).
    GalSignature ReadSignature();
    std::string DescribeSignature(const GalSignature& s) const { return DescribeGalSignature(s); }

    // Compares the buffer with `other` over maxsize fuses (the signature
    // skipped unless `blank`), with the family's lines and its error limit.
    uint32_t Compare(const std::vector<uint8_t>& other, bool writeLines);
    uint32_t BlankCount();
    void Summary(uint32_t errors);

    uint8_t* fuses_ = nullptr;
    uint32_t lines_ = 0;    // LineNumber
    uint32_t columns_ = 0;  // ArrayLen
    double vppW_ = 0.0;     // programming voltage and pulse: the record's, or the signature's
    double pulse_ = 0.0;
    bool signatureLevel_ = false;  // a Lattice signature's voltage and pulse are used
    // The ATF details (all false: Lattice).
    bool atf_ = false;
    bool pvLowShift_ = false;     // P/V raised only for the strobe
    bool uesAfterFill_ = false;   // 22V10 signature row: 68 fill bits, then the 64 bits
    bool msbAddress_ = false;     // serial row address MSB first, the last bit held on SDIN
    bool pvHighRead_ = false;     // rows read out with P/V high after their strobe
    bool clockHighStrobe_ = false;// the last clock of a written row left high through the strobe
    bool powerDown_ = false;      // a power-down fuse, the buffer's last
};

}  // namespace krt
