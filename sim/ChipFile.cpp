// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ChipFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

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

std::string ChipFileTarget(const std::string& path) {
    // A link named as the chip file stands for its target: the target is
    // what the save replaces, so that the link stays a link.
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<size_t>(n) >= link.size()) break;
        link.resize(static_cast<size_t>(n));
        if (link[0] == '/') {
            target = link;
        } else {
            const size_t slash = target.rfind('/');
            target = slash == std::string::npos ? link : target.substr(0, slash + 1) + link;
        }
    }
    return target;
}

namespace {

// Creates a new file beside target with a name no other writer uses; the
// open is exclusive, so that it never follows a link planted there nor
// shares a file with another save. The file descriptor, -1 with errno set.
int CreateTemporaryBeside(const std::string& target, std::string& temporary) {
    const size_t slash = target.rfind('/');
    const std::string directory = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::random_device seed;
    std::mt19937_64 random((static_cast<uint64_t>(seed()) << 32) ^ seed() ^ static_cast<uint64_t>(::getpid()));
    for (int attempt = 0; attempt < 32; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%012llx.tmp",
                      static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
        const std::string candidate = directory + "." + base + suffix;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary = candidate;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

bool WriteChipImage(const std::string& path, const ChipImage& image, std::string& error) {
    const std::string target = ChipFileTarget(path);
    struct stat old;
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    // A file the user may not write is not replaced, although the rename
    // below could do it.
    if (replacing && ::access(target.c_str(), W_OK) != 0) {
        error = Say(kSimTextChipFileWrite, path, std::strerror(errno));
        return false;
    }
    std::string temporary;
    const int fd = CreateTemporaryBeside(target, temporary);
    if (fd < 0) {
        error = Say(kSimTextChipFileWrite, path, std::strerror(errno));
        return false;
    }
    if (replacing) {
        // The new file keeps the mode, and where the system lets it the
        // owner and group, of the one it replaces.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0) (void)!::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
        (void)!::fchmod(fd, old.st_mode & 07777);
    }
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        const int e = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        error = Say(kSimTextChipFileWrite, path, std::strerror(e));
        return false;
    }
    errno = 0;
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
    ok = ok && std::fflush(f) == 0;
    int savedErrno = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        error = Say(kSimTextChipFileWrite, path, std::strerror(savedErrno ? savedErrno : EIO));
        ::unlink(temporary.c_str());
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
    // GAL entries of one socket share their chips: an ATF sold as a GAL16V8
    // equivalent sits where a GAL16V8 would, and the family reads which it is.
    const bool sharedSocket = image.kind == "GAL" && strcasecmp(kindType, record.type.c_str()) == 0;
    if (strcasecmp(kindType, record.type.c_str()) != 0 ||
        (!sharedSocket && strcasecmp(image.device.c_str(), record.name.c_str()) != 0)) {
        error = Say(kSimTextChipFileOtherDevice, path, image.kind, image.device, record.type, record.name);
        return false;
    }
    std::string why;
    std::unique_ptr<Chip> made = MakeChipFromImage(image, why);
    if (!made) {
        error = Say(kSimTextChipFileCorrupt, path, why);
        return false;
    }
    // The device sends its type code as the socket configuration; a chip
    // wired for any other would sit in the socket unconnected and read as
    // absent, so that every operation failed without a reason.
    if (made->SocketConfig() != record.typecode) {
        char has[4], uses[4];
        std::snprintf(has, sizeof has, "%02X", made->SocketConfig());
        std::snprintf(uses, sizeof uses, "%02X", record.typecode);
        error = Say(kSimTextOtherSocket, path, has, record.type, record.name, uses);
        return false;
    }
    chip = std::move(made);
    return true;
}

}  // namespace krt
