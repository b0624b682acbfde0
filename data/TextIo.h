// SPDX-License-Identifier: GPL-3.0-or-later
// Line input and buffered text output shared by the text-format readers and
// writers. Internal to data/.
#pragma once

#include <cstdint>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace krt {

// Splits a stream into lines at LF, leaving a CR in the line. A line longer
// than 254 characters is cut there and the rest of it, up to its LF, is
// dropped: it never overruns and never turns into a line of its own. A last
// line without LF is delivered as it stands (the reader then finds a record
// cut short by its own checks).
class LineReader {
public:
    static constexpr size_t kMaxLine = 254;

    explicit LineReader(std::istream& in, size_t chunk = 1u << 16)
        : in_(in), buf_(new char[chunk]), size_(chunk) {}

    bool Next(std::string_view& line) {
        for (;;) {
            const char* s = buf_.get() + pos_;
            const void* nl = std::memchr(s, '\n', end_ - pos_);
            if (nl) {
                size_t len = static_cast<size_t>(static_cast<const char*>(nl) - s);
                line = std::string_view(s, len < kMaxLine ? len : kMaxLine);
                pos_ += len + 1;
                return true;
            }
            if (eof_) {
                if (pos_ == end_) return false;
                const size_t len = end_ - pos_;
                line = std::string_view(s, len < kMaxLine ? len : kMaxLine);
                pos_ = end_;
                return true;
            }
            Compact();
            if (end_ == size_) return LongLine(line);
            Fill();
        }
    }

private:
    void Compact() {
        if (pos_ == 0) return;
        std::memmove(buf_.get(), buf_.get() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    void Fill() {
        in_.read(buf_.get() + end_, static_cast<std::streamsize>(size_ - end_));
        std::streamsize got = in_.gcount();
        if (got <= 0) eof_ = true;
        end_ += static_cast<size_t>(got > 0 ? got : 0);
    }
    // The whole chunk holds one line without LF: keep its head, drop the
    // rest up to the LF.
    bool LongLine(std::string_view& line) {
        held_.assign(buf_.get(), kMaxLine);
        pos_ = end_ = 0;
        for (;;) {
            Fill();
            if (end_ == 0 && eof_) {
                line = held_;
                return true;
            }
            const void* nl = std::memchr(buf_.get(), '\n', end_);
            if (nl) {
                pos_ = static_cast<size_t>(static_cast<const char*>(nl) - buf_.get()) + 1;
                line = held_;
                return true;
            }
            if (eof_) {
                pos_ = end_ = 0;
                line = held_;
                return true;
            }
            pos_ = end_ = 0;
        }
    }

    std::istream& in_;
    std::unique_ptr<char[]> buf_;  // not zeroed: only bytes read are looked at
    size_t size_;
    size_t pos_ = 0, end_ = 0;
    bool eof_ = false;
    std::string held_;
};

// Value of a hexadecimal digit, or -1.
inline int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The byte of two hexadecimal digits at text[at], or -1 when either is not
// a digit. The caller has checked that both characters exist.
inline int HexByte(std::string_view text, size_t at) {
    int hi = HexDigit(text[at]), lo = HexDigit(text[at + 1]);
    if (hi < 0 || lo < 0) return -1;
    return (hi << 4) | lo;
}

// Text output gathered in large blocks; remembers whether the stream failed.
class TextOut {
public:
    explicit TextOut(std::ostream& os) : os_(os) { buf_.reserve(kBlock + 512); }
    ~TextOut() { Flush(); }

    void Char(char c) { buf_.push_back(c); }
    void Text(std::string_view t) { buf_.append(t); }
    void Hex2(uint32_t v) {
        static const char digits[] = "0123456789ABCDEF";
        char pair[2] = {digits[(v >> 4) & 0xF], digits[v & 0xF]};
        buf_.append(pair, 2);
    }
    void Hex4(uint32_t v) { Hex2(v >> 8); Hex2(v); }
    void EndLine() {
        buf_.push_back('\n');
        if (buf_.size() >= kBlock) Flush();
    }
    void Flush() {
        if (!buf_.empty()) os_.write(buf_.data(), static_cast<std::streamsize>(buf_.size()));
        buf_.clear();
    }
    bool Good() {
        Flush();
        return os_.good();
    }

private:
    static constexpr size_t kBlock = 1u << 16;
    std::ostream& os_;
    std::string buf_;
};

}  // namespace krt
