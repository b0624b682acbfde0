// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Batch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include <nlohmann/json.hpp>

#include "base/Log.h"
#include "catalogue/DeviceRecord.h"
#include "data/BufferChecksum.h"
#include "data/DataBuffer.h"
#include "session/Operations.h"
#include "session/Session.h"
#include "session/SessionTexts.h"
#include "sim/VirtualKrt.h"

namespace krt {

namespace {

bool ParseNumber(std::string_view text, int base, uint64_t& out) {
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
        else return false;
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / static_cast<uint64_t>(base)) return false;
        value = value * static_cast<uint64_t>(base) + digit;
    }
    out = value;
    return true;
}

const char* EncodingName(SerialEncoding e) {
    switch (e) {
    case SerialEncoding::Le: return "le";
    case SerialEncoding::Be: return "be";
    case SerialEncoding::Bcd: return "bcd";
    case SerialEncoding::Ascii: return "ascii";
    }
    return "le";
}

// The widest place of each encoding: 64-bit values in binary, 20 decimal
// digits in BCD (10 bytes) and in ASCII.
uint32_t MaxWidth(SerialEncoding e) {
    switch (e) {
    case SerialEncoding::Le:
    case SerialEncoding::Be: return 8;
    case SerialEncoding::Bcd: return 10;
    case SerialEncoding::Ascii: return 20;
    }
    return 8;
}

std::string Decimal(uint64_t value) { return std::to_string(value); }

std::string NowUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            out += Format("\\u%04x", c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

bool ParseSerialFormat(std::string_view text, SerialFormat& format, std::string& error) {
    std::vector<std::string_view> fields;
    while (true) {
        const size_t colon = text.find(':');
        fields.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    SerialFormat f;
    f.used = true;
    if (!fields.empty() && fields.size() >= 3) {
        const std::string_view last = fields.back();
        if (last == "le" || last == "be" || last == "bcd" || last == "ascii") {
            f.encoding = last == "le" ? SerialEncoding::Le
                         : last == "be" ? SerialEncoding::Be
                         : last == "bcd" ? SerialEncoding::Bcd
                                         : SerialEncoding::Ascii;
            fields.pop_back();
        }
    }
    if (fields.size() < 2 || fields.size() > 4) {
        error = "--serial wants ADDR:WIDTH[:START[:STEP]][:le|be|bcd|ascii]";
        return false;
    }
    uint64_t n = 0;
    if (!ParseNumber(fields[0], 16, n) || n > 0xFFFFFFFFu) {
        error = "--serial: ADDR wants a hexadecimal address";
        return false;
    }
    f.address = static_cast<uint32_t>(n);
    if (!ParseNumber(fields[1], 10, n) || n == 0 || n > MaxWidth(f.encoding)) {
        error = Format("--serial: WIDTH wants 1 to %u bytes for %s", MaxWidth(f.encoding), EncodingName(f.encoding));
        return false;
    }
    f.width = static_cast<uint32_t>(n);
    if (fields.size() >= 3) {
        if (!ParseNumber(fields[2], 10, f.start)) {
            error = "--serial: START wants a decimal number";
            return false;
        }
        f.startGiven = true;
    }
    if (fields.size() == 4 && (!ParseNumber(fields[3], 10, f.step) || f.step == 0)) {
        error = "--serial: STEP wants a decimal number from 1";
        return false;
    }
    f.stepGiven = fields.size() == 4;
    std::vector<uint8_t> bytes;
    if (f.startGiven && !EncodeSerial(f, f.start, bytes)) {
        error = Format("--serial: START %s does not fit %u bytes (%s)", Decimal(f.start).c_str(), f.width,
                       EncodingName(f.encoding));
        return false;
    }
    format = f;
    return true;
}

std::string SerialFormatText(const SerialFormat& f) {
    return Format("%X:%u:%s:%s:%s", f.address, f.width, Decimal(f.start).c_str(), Decimal(f.step).c_str(),
                  EncodingName(f.encoding));
}

bool EncodeSerial(const SerialFormat& f, uint64_t value, std::vector<uint8_t>& bytes) {
    bytes.assign(f.width, 0);
    switch (f.encoding) {
    case SerialEncoding::Le:
    case SerialEncoding::Be: {
        if (f.width < 8 && (value >> (8 * f.width)) != 0) return false;
        for (uint32_t i = 0; i < f.width; ++i) {
            const uint8_t b = static_cast<uint8_t>(i < 8 ? value >> (8 * i) : 0);
            bytes[f.encoding == SerialEncoding::Le ? i : f.width - 1 - i] = b;
        }
        return true;
    }
    case SerialEncoding::Bcd: {
        // Two digits a byte, the most significant byte first.
        uint64_t v = value;
        for (uint32_t i = 0; i < f.width; ++i) {
            const uint8_t low = static_cast<uint8_t>(v % 10);
            v /= 10;
            const uint8_t high = static_cast<uint8_t>(v % 10);
            v /= 10;
            bytes[f.width - 1 - i] = static_cast<uint8_t>(high << 4 | low);
        }
        return v == 0;
    }
    case SerialEncoding::Ascii: {
        // Decimal digits padded with zeros to the width.
        const std::string digits = Decimal(value);
        if (digits.size() > f.width) return false;
        const size_t pad = f.width - digits.size();
        for (size_t i = 0; i < f.width; ++i) bytes[i] = static_cast<uint8_t>(i < pad ? '0' : digits[i - pad]);
        return true;
    }
    }
    return false;
}

std::string BatchStatePath(const std::string& logPath) { return logPath + ".state"; }

bool ReadBatchState(const std::string& path, BatchState& state, std::string& error) {
    error.clear();
    // Looked at before it is read: a FIFO would wait for ever, a directory read as nothing.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        error = path + ": not a batch state file (not a regular file)";
        return false;
    }
    std::ifstream in(path);
    if (!in) return false;
    BatchState s;
    bool haveNext = false, haveIndex = false;
    std::string key, value;
    std::string line;
    while (std::getline(in, line)) {
        const size_t space = line.find(' ');
        if (line.empty()) continue;
        key = line.substr(0, space);
        value = space == std::string::npos ? std::string() : line.substr(space + 1);
        uint64_t n = 0;
        if (key == "serial") {
            s.serial = value;
        } else if (key == "next" && ParseNumber(value, 10, n)) {
            s.nextSerial = n;
            haveNext = true;
        } else if (key == "index" && ParseNumber(value, 10, n) && n > 0 && n <= 0xFFFFFFFFu) {
            s.nextIndex = static_cast<uint32_t>(n);
            haveIndex = true;
        } else {
            error = path + ": not a batch state file (line \"" + line + "\")";
            return false;
        }
    }
    if (in.bad() || !haveNext || !haveIndex) {
        error = path + ": not a batch state file (it lacks the next serial or index)";
        return false;
    }
    state = s;
    return true;
}

bool WriteBatchState(const std::string& path, const BatchState& state, std::string& error) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << "serial " << state.serial << "\nnext " << state.nextSerial << "\nindex " << state.nextIndex << "\n";
        out.flush();
        if (!out) {
            error = "cannot write " + temporary;
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool RestartsUsedSeries(const BatchState& state, const SerialFormat& given, std::string& reason) {
    SerialFormat kept;
    std::string ignored;
    if (!given.startGiven || state.serial.empty() || !ParseSerialFormat(state.serial, kept, ignored)) return false;
    // The series numbered a chip once its next serial left its START.
    if (state.nextSerial == kept.start) return false;
    if (given.start == state.nextSerial && (!given.stepGiven || given.step == kept.step)) return false;
    reason = Format("the series of this log already used serials %s to %s by %s (the next is %s)",
                    Decimal(kept.start).c_str(), Decimal(state.nextSerial - kept.step).c_str(),
                    Decimal(kept.step).c_str(), Decimal(state.nextSerial).c_str());
    return true;
}

std::string BatchLogLine(const BatchChip& chip, const std::string& device) {
    std::string line = "{\"time\":" + JsonString(chip.time) + ",\"index\":" + std::to_string(chip.index) +
                       ",\"device\":" + JsonString(device) + ",\"file_checksum\":\"" +
                       Format("%04X", chip.fileChecksum) + "\",\"serial\":" +
                       (chip.serial.empty() ? std::string("null") : JsonString(chip.serial)) +
                       ",\"chip_checksum\":" +
                       (chip.chipChecksumRead ? "\"" + Format("%04X", chip.chipChecksum) + "\"" : std::string("null")) +
                       ",\"result\":" + std::to_string(chip.result) + ",\"seconds\":" + Format("%.3f", chip.seconds) +
                       "}";
    return line;
}

Batch::Batch(Session& session, BatchSettings settings) : session_(session), settings_(std::move(settings)) {}

std::string Batch::SerialText(uint64_t value) const { return settings_.serial.used ? Decimal(value) : std::string(); }

namespace {

// The last chip the log names (its index, and its serial when it has one):
// false when the log is missing, not a regular file or holds no chip line.
bool LastLoggedChip(const std::string& logPath, uint32_t& index, bool& hasSerial, uint64_t& serial) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(logPath, ec)) return false;
    std::ifstream in(logPath);
    std::string line, last;
    while (std::getline(in, line))
        if (line.find("\"index\":") != std::string::npos) last = line;
    if (last.empty()) return false;
    const nlohmann::json chip = nlohmann::json::parse(last, nullptr, false);
    if (!chip.is_object() || !chip.contains("index") || !chip["index"].is_number_unsigned()) return false;
    const uint64_t n = chip["index"].get<uint64_t>();
    if (n == 0 || n >= 0xFFFFFFFFu) return false;
    index = static_cast<uint32_t>(n);
    hasSerial = chip.contains("serial") && chip["serial"].is_string() &&
                ParseNumber(chip["serial"].get<std::string>(), 10, serial);
    return true;
}

}  // namespace

bool Batch::Prepare(std::string& error) {
    const DeviceRecord& record = session_.record;
    DataBuffer& buffer = session_.buffer;
    if (!buffer.Exists() || record.maxsize == 0) {
        error = "no device is selected";
        return false;
    }
    device_ = record.type + " " + record.manufacture + " " + record.name;
    fileChecksum_ = BufferChecksum(record, buffer, session_.range);

    // The state beside the log: resume its serial unless a START restarts.
    BatchState state;
    bool haveState = false;
    if (!settings_.logPath.empty()) {
        haveState = ReadBatchState(BatchStatePath(settings_.logPath), state, error);
        if (!haveState && !error.empty()) return false;
    }
    // The log holds what was programmed; a state that lags it (an older
    // copy put back) would hand out again a serial that a chip carries. The
    // larger of the two is trusted, and said.
    uint32_t loggedIndex = 0;
    bool loggedSerial = false;
    uint64_t lastSerial = 0;
    if (haveState && LastLoggedChip(settings_.logPath, loggedIndex, loggedSerial, lastSerial)) {
        SerialFormat kept;
        std::string ignored;
        const bool series = !state.serial.empty() && ParseSerialFormat(state.serial, kept, ignored);
        const bool serialBehind = series && loggedSerial && lastSerial >= state.nextSerial &&
                                  lastSerial <= std::numeric_limits<uint64_t>::max() - kept.step;
        if (loggedIndex >= state.nextIndex || serialBehind) {
            if (loggedIndex >= state.nextIndex) state.nextIndex = loggedIndex + 1;
            if (serialBehind) state.nextSerial = lastSerial + kept.step;
            Log(session_.link.log, InLanguage(kBatchStateBehindLogText, session_.link.language),
                BatchStatePath(settings_.logPath).c_str(), settings_.logPath.c_str(),
                static_cast<unsigned>(state.nextIndex), Decimal(state.nextSerial).c_str());
        }
    }
    SerialFormat& serial = settings_.serial;
    if (haveState && !state.serial.empty()) {
        SerialFormat kept;
        if (!ParseSerialFormat(state.serial, kept, error)) {
            error = BatchStatePath(settings_.logPath) + ": " + error;
            return false;
        }
        if (!serial.used) {
            serial = kept;
            serial.startGiven = false;
            serial.stepGiven = false;
        } else if (!serial.startGiven) {
            if (serial.address != kept.address || serial.width != kept.width || serial.encoding != kept.encoding) {
                error = "--serial names another place than the batch of " + settings_.logPath + " (" + state.serial +
                        "); give a START to begin a new series";
                return false;
            }
            serial.start = kept.start;
            serial.step = kept.step;
        } else {
            std::string reason;
            if (!settings_.restartSeries && RestartsUsedSeries(state, serial, reason)) {
                error = reason + "; leave START out to go on, or give --restart-series to begin again";
                return false;
            }
            // Going on at the next serial without a STEP keeps the series' step.
            if (!serial.stepGiven && serial.start == state.nextSerial) serial.step = kept.step;
        }
    }
    if (serial.used && !serial.startGiven && !(haveState && !state.serial.empty())) {
        error = "--serial needs a START: no earlier batch of this log to go on from";
        return false;
    }
    nextIndex_ = haveState ? state.nextIndex : 1;
    nextSerial_ = serial.startGiven ? serial.start : haveState ? state.nextSerial : serial.start;

    if (serial.used) {
        const uint32_t bytesPerWord = record.bytesPerWord == 0 ? 1 : record.bytesPerWord;
        const uint64_t first = static_cast<uint64_t>(session_.range.Start()) * bytesPerWord;
        const uint64_t end = first + static_cast<uint64_t>(session_.range.Length()) * bytesPerWord;
        const uint64_t place = serial.address;
        if (place + serial.width > buffer.size() || place < first || place + serial.width > end) {
            error = Format("the serial's place %X to %X lies outside the range that is programmed", serial.address,
                           static_cast<unsigned>(place + serial.width - 1));
            return false;
        }
        // The user marks the serial's place by leaving it blank in the file;
        // anything else there is data that the serial would overwrite.
        std::vector<uint8_t> blank(static_cast<size_t>(place + serial.width + 1));
        FillBlank(blank.data(), static_cast<uint32_t>(blank.size()), record.typecode);
        for (uint32_t i = 0; i < serial.width && !settings_.force; ++i) {
            if (buffer[serial.address + i] != blank[serial.address + i]) {
                error = Format("the serial's place %X to %X holds data of the file (at %X); leave it blank in "
                               "the file or %s to overwrite it",
                               serial.address, serial.address + serial.width - 1, serial.address + i,
                               settings_.allowOverwrite.c_str());
                return false;
            }
        }
        std::vector<uint8_t> bytes;
        if (!EncodeSerial(serial, nextSerial_, bytes)) {
            error = Format("the next serial %s does not fit %u bytes", Decimal(nextSerial_).c_str(), serial.width);
            return false;
        }
    }
    error.clear();
    return true;
}

uint8_t Batch::Operation(BatchFace& face, uint8_t code) {
    LinkRequest request = OperationRequest(code, session_.range.Start(), session_.range.Length(),
                                           settings_.permittedErrors, session_.buffer);
    return face.RunRequest(request);
}

BatchChip Batch::RunChip(BatchFace& face, uint32_t index, uint64_t serialValue, std::string& problem) {
    BatchChip chip;
    chip.index = index;
    chip.time = NowUtc();
    chip.fileChecksum = fileChecksum_;
    chip.serial = SerialText(serialValue);
    const auto wallStart = std::chrono::steady_clock::now();
    const uint64_t virtualStart = session_.VirtualNs();

    // The serial goes into the image for this chip only.
    DataBuffer& buffer = session_.buffer;
    const SerialFormat& serial = settings_.serial;
    std::vector<uint8_t> saved;
    if (serial.used) {
        std::vector<uint8_t> bytes;
        if (!EncodeSerial(serial, serialValue, bytes)) {
            problem = Format("the serial %s does not fit %u bytes", chip.serial.c_str(), serial.width);
            chip.result = RESULT_FATAL;
            return chip;
        }
        saved.assign(buffer.data() + serial.address, buffer.data() + serial.address + serial.width);
        std::copy(bytes.begin(), bytes.end(), buffer.data() + serial.address);
    }

    uint8_t result;
    if (settings_.automatic) {
        result = AutomaticWrite(session_.link, [&](const OperationInfo& step) { return Operation(face, step.code); },
                                [&] { return !face.StopRequested(); });
    } else {
        result = face.StopRequested() ? static_cast<uint8_t>(RESULT_CANCELED) : Operation(face, REQ_WRITE);
        if (result == RESULT_OK)
            result = face.StopRequested() ? static_cast<uint8_t>(RESULT_CANCELED) : Operation(face, REQ_VERIFY);
    }

    // The chip read back, for its checksum in the log.
    if (result == RESULT_OK && !face.StopRequested()) {
        DataBuffer readBack;
        if (readBack.Allocate(buffer.size())) {
            FillBlank(readBack.data(), readBack.size(), session_.record.typecode);
            LinkRequest request = OperationRequest(REQ_READ, session_.range.Start(), session_.range.Length(),
                                                   settings_.permittedErrors, readBack);
            if (face.RunRequest(request) == RESULT_OK) {
                chip.chipChecksumRead = true;
                chip.chipChecksum = BufferChecksum(session_.record, readBack, session_.range);
            }
        }
    }
    if (!saved.empty()) std::copy(saved.begin(), saved.end(), buffer.data() + serial.address);
    session_.ShowResult(result);

    chip.result = result;
    // With the simulator, the time a real programmer would take.
    if (session_.Simulated())
        chip.seconds = static_cast<double>(session_.VirtualNs() - virtualStart) / 1e9;
    else
        chip.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    return chip;
}

bool Batch::Append(const BatchChip& chip, std::string& error) {
    if (settings_.logPath.empty()) return true;
    std::ofstream out(settings_.logPath, std::ios::app);
    out << BatchLogLine(chip, device_) << '\n';
    out.flush();
    if (!out) {
        error = "cannot append to the batch log " + settings_.logPath;
        return false;
    }
    return true;
}

bool Batch::LogWritable(std::string& error) const {
    if (settings_.logPath.empty()) return true;
    std::ofstream out(settings_.logPath, std::ios::app);
    if (!out) {
        error = "cannot append to the batch log " + settings_.logPath;
        return false;
    }
    return true;
}

bool Batch::SaveState(std::string& error) const {
    if (settings_.logPath.empty()) return true;
    BatchState state;
    state.serial = settings_.serial.used ? SerialFormatText(settings_.serial) : std::string();
    state.nextSerial = nextSerial_;
    state.nextIndex = nextIndex_;
    return WriteBatchState(BatchStatePath(settings_.logPath), state, error);
}

BatchSummary Batch::Run(BatchFace& face) {
    BatchSummary summary;
    const auto started = std::chrono::steady_clock::now();
    // The log and the state must take what the chips will bring before the
    // first chip is touched.
    std::string error;
    if (!LogWritable(error) || !SaveState(error)) summary.problem = error;
    for (uint32_t n = 0; summary.problem.empty() && (settings_.count == 0 || n < settings_.count); ++n) {
        if (face.StopRequested()) break;
        if (!face.NextChip(nextIndex_)) break;
        if (face.StopRequested()) break;
        const uint32_t index = nextIndex_;
        const uint64_t serialValue = nextSerial_;
        // A serial that reaches a chip is used, whatever becomes of the chip,
        // and recorded so before the chip is programmed: no two chips ever
        // carry the same number, even when krt is killed in the middle.
        ++nextIndex_;
        bool usedUp = false;
        if (settings_.serial.used) {
            if (nextSerial_ > std::numeric_limits<uint64_t>::max() - settings_.serial.step) usedUp = true;
            else nextSerial_ += settings_.serial.step;
        }
        if (!SaveState(error)) {
            nextIndex_ = index;
            nextSerial_ = serialValue;
            summary.problem = error;
            break;
        }
        face.ChipStarted(index, SerialText(serialValue));
        std::string problem;
        BatchChip chip = RunChip(face, index, serialValue, problem);
        if (!problem.empty()) {
            summary.problem = problem;
            summary.worst = std::max(summary.worst, chip.result);
            break;
        }
        if (usedUp) summary.problem = "the serial numbers are used up";
        if (settings_.serial.used) {
            if (summary.firstSerial.empty()) summary.firstSerial = chip.serial;
            summary.lastSerial = chip.serial;
        }
        ++summary.done;
        if (chip.result != RESULT_OK) ++summary.failed;
        summary.worst = std::max(summary.worst, chip.result);
        if (!Append(chip, error)) summary.problem = error;
        face.ChipFinished(chip);
        if (!summary.problem.empty()) break;
        if (chip.result != RESULT_OK && settings_.stopOnFailure) {
            summary.stoppedByFailure = true;
            break;
        }
    }
    summary.stopped = face.StopRequested();
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return summary;
}

std::string SimChipSeries::FileName(uint32_t index) { return Format("chip-%04u.chip", index); }

bool SimChipSeries::Insert(Session& session, uint32_t index, std::string& error) const {
    VirtualKrt* sim = session.Simulator();
    if (!sim) {
        error = "no simulated programmer";
        return false;
    }
    std::string note;
    // The folder is made on first use, as the window's chip folder is.
    std::error_code ignored;
    std::filesystem::create_directories(directory, ignored);
    const std::string path = directory + "/" + FileName(index);
    if (!session.LoadSocket(session.record, path, note, error)) return false;
    if (!note.empty()) {
        error = note;
        return false;
    }
    if (index != badChip) return true;
    Chip* chip = sim->SocketChip();
    if (!chip) return true;
    // Cell faults belong to the chip in the socket; the others the chip takes itself.
    const size_t colon = badFault.find(':');
    const std::string name = badFault.substr(0, colon);
    const std::string args = colon == std::string::npos ? std::string() : badFault.substr(colon + 1);
    if (name == "dead-cells" || name == "weak-cells") {
        VirtualKrt scratch;
        if (!scratch.ApplyFault(badFault, error)) return false;
        chip->SetCellFaults(scratch.GetCellFaults());
        return true;
    }
    if (!chip->ApplyFault(name, args, error)) {
        if (error.empty()) error = "the chip does not take the fault " + badFault;
        return false;
    }
    return true;
}

}  // namespace krt
