#include "sim/ChipFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <sys/stat.h>

#include "catalogue/DeviceRecord.h"
#include "sim/ChipFactory.h"
#include "sim/SimTexts.h"

namespace krt {

namespace {

std::string Say(const char* format, const std::string& a, const std::string& b = {}, const std::string& c = {},
                const std::string& d = {}, const std::string& e = {}) {
    int n = std::snprintf(nullptr, 0, format, a.c_str(), b.c_str(), c.c_str(), d.c_str(), e.c_str());
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    std::snprintf(out.data(), out.size() + 1, format, a.c_str(), b.c_str(), c.c_str(), d.c_str(), e.c_str());
    return out;
}

// Cuts one line (without its \n) from text at pos; false at the end.
bool NextLine(const std::string& text, size_t& pos, std::string& line) {
    if (pos >= text.size()) return false;
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) return false;  // every line of a whole file ends with \n
    line.assign(text, pos, nl - pos);
    pos = nl + 1;
    return true;
}

bool SplitWord(const std::string& line, std::string& word, std::string& rest) {
    size_t sp = line.find(' ');
    if (sp == std::string::npos) return false;
    word = line.substr(0, sp);
    rest = line.substr(sp + 1);
    return !word.empty();
}

}  // namespace

bool ChipFileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool ReadChipImage(const std::string& path, ChipImage& image, std::string& error) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = Say(kSimTextChipFileOpen, path, std::strerror(errno));
        return false;
    }
    std::string text;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    const bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) {
        error = Say(kSimTextChipFileOpen, path, std::strerror(EIO));
        return false;
    }
    size_t pos = 0;
    std::string line, word, rest;
    if (!NextLine(text, pos, line) || line != kChipFileMagic) {
        error = Say(kSimTextChipFileNotChip, path);
        return false;
    }
    if (!NextLine(text, pos, line) || !SplitWord(line, word, rest) || word != "version") {
        error = Say(kSimTextChipFileCorrupt, path, "no version line");
        return false;
    }
    if (rest != std::to_string(kChipFileVersion)) {
        char want[16];
        std::snprintf(want, sizeof want, "%d", kChipFileVersion);
        error = Say(kSimTextChipFileVersion, path, rest, want);
        return false;
    }
    image = ChipImage{};
    bool ended = false;
    while (NextLine(text, pos, line)) {
        if (line == "end") {
            ended = true;
            break;
        }
        if (!SplitWord(line, word, rest)) {
            error = Say(kSimTextChipFileCorrupt, path, "line \"" + line + "\"");
            return false;
        }
        if (word == "kind") {
            image.kind = rest;
        } else if (word == "device") {
            image.device = rest;
        } else if (word == "value") {
            std::string key, value;
            if (!SplitWord(rest, key, value)) {
                error = Say(kSimTextChipFileCorrupt, path, "line \"" + line + "\"");
                return false;
            }
            image.values[key] = value;
        } else if (word == "blob") {
            std::string name, length;
            if (!SplitWord(rest, name, length)) {
                error = Say(kSimTextChipFileCorrupt, path, "line \"" + line + "\"");
                return false;
            }
            char* end = nullptr;
            errno = 0;
            const unsigned long long size = std::strtoull(length.c_str(), &end, 10);
            if (errno || !end || *end || length.empty() || size > text.size() - pos ||
                text.size() - pos - size < 1 || text[pos + size] != '\n') {
                error = Say(kSimTextChipFileCorrupt, path, "blob " + name + " is cut short");
                return false;
            }
            image.blobs[name].assign(text.begin() + static_cast<std::ptrdiff_t>(pos),
                                     text.begin() + static_cast<std::ptrdiff_t>(pos + size));
            pos += size + 1;
        }
        // Unknown words are skipped, so that a later model's additions do not break older readers.
    }
    if (!ended || image.kind.empty()) {
        error = Say(kSimTextChipFileCorrupt, path, ended ? "no kind" : "no end line");
        return false;
    }
    return true;
}

bool WriteChipImage(const std::string& path, const ChipImage& image, std::string& error) {
    const std::string temporary = path + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        error = Say(kSimTextChipFileWrite, path, std::strerror(errno));
        return false;
    }
    bool ok = std::fprintf(f, "%s\nversion %d\nkind %s\ndevice %s\n", kChipFileMagic, kChipFileVersion,
                           image.kind.c_str(), image.device.c_str()) > 0;
    for (const auto& [key, value] : image.values)
        ok = ok && std::fprintf(f, "value %s %s\n", key.c_str(), value.c_str()) > 0;
    for (const auto& [name, bytes] : image.blobs) {
        ok = ok && std::fprintf(f, "blob %s %zu\n", name.c_str(), bytes.size()) > 0;
        ok = ok && (bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
        ok = ok && std::fputc('\n', f) != EOF;
    }
    ok = ok && std::fputs("end\n", f) != EOF;
    const int savedErrno = errno;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = Say(kSimTextChipFileWrite, path, std::strerror(ok ? errno : (savedErrno ? savedErrno : EIO)));
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool LoadChipFile(const std::string& path, std::unique_ptr<Chip>& chip, std::string& error) {
    ChipImage image;
    if (!ReadChipImage(path, image, error)) return false;
    std::string why;
    std::unique_ptr<Chip> made = MakeChipFromImage(image, why);
    if (!made) {
        error = Say(kSimTextChipFileCorrupt, path, why);
        return false;
    }
    chip = std::move(made);
    return true;
}

bool SaveChipFile(const std::string& path, const Chip& chip, std::string& error) {
    ChipImage image;
    chip.Save(image);
    char config[4];
    std::snprintf(config, sizeof config, "%02X", chip.SocketConfig());
    image.values["config"] = config;
    return WriteChipImage(path, image, error);
}

bool LoadOrCreateChipFile(const std::string& path, const DeviceRecord& record, std::unique_ptr<Chip>& chip,
                          std::string& error) {
    if (!ChipFileExists(path)) {
        std::string note;
        std::unique_ptr<Chip> blank = MakeBlankChip(record, note);
        if (!blank) {
            error = note;
            return false;
        }
        if (!SaveChipFile(path, *blank, error)) return false;
        chip = std::move(blank);
        return true;
    }
    ChipImage image;
    if (!ReadChipImage(path, image, error)) return false;
    // A type key may have several chip kinds (the serial EEPROM's two buses):
    // the file fits when its kind serves the record's type.
    const char* kindType = image.kind.c_str();
    for (const ChipKind& kind : ChipKinds())
        if (image.kind == kind.kind) kindType = kind.deviceType;
    if (strcasecmp(kindType, record.type.c_str()) != 0 ||
        strcasecmp(image.device.c_str(), record.name.c_str()) != 0) {
        error = Say(kSimTextChipFileOtherDevice, path, image.kind, image.device, record.type, record.name);
        return false;
    }
    std::string why;
    std::unique_ptr<Chip> made = MakeChipFromImage(image, why);
    if (!made) {
        error = Say(kSimTextChipFileCorrupt, path, why);
        return false;
    }
    chip = std::move(made);
    return true;
}

}  // namespace krt
