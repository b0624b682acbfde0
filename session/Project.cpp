// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Project.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <system_error>
#include <tuple>

#include "base/Log.h"
#include "session/OptionValues.h"

namespace krt {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

namespace {

// FNV-1a, 64 bits: enough to tell that a data file changed.
std::string Digest(const std::string& bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return Format("fnv1a64:%016llx", static_cast<unsigned long long>(hash));
}

fs::path Folder(const std::string& projectPath) {
    const fs::path folder = fs::path(projectPath).parent_path();
    return folder.empty() ? fs::path(".") : folder;
}

// A path as saved: relative to the project's folder where it can be.
std::string Relative(const std::string& path, const std::string& projectPath) {
    if (path.empty() || path == "-") return path;
    std::error_code ec;
    const fs::path base = fs::absolute(Folder(projectPath), ec);
    const fs::path target = fs::absolute(path, ec);
    if (ec) return path;
    const fs::path relative = target.lexically_relative(base);
    return relative.empty() ? path : relative.generic_string();
}

// A path as read: relative ones are from the project's folder.
std::string Resolved(const std::string& path, const std::string& projectPath) {
    if (path.empty() || path == "-" || fs::path(path).is_absolute()) return path;
    return (Folder(projectPath) / path).lexically_normal().string();
}

}  // namespace

bool DigestFile(const std::string& path, uint64_t& size, std::string& digest) {
    // Only a readable regular file has a digest: a directory's read throws, a FIFO's waits.
    if (!InputFileProblem(path).empty()) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    size = bytes.size();
    digest = Digest(bytes);
    return true;
}

bool SaveProject(const std::string& path, Project& project, std::string& error) {
    const Job& job = project.job;
    project.dataSize = 0;
    project.dataDigest.clear();
    if (!job.file.empty() && job.file != "-") DigestFile(job.file, project.dataSize, project.dataDigest);
    Json data = {{"file", Relative(job.file, path)},
                 {"format", job.format == FORMAT_BY_NAME ? Json(nullptr) : Json(job.format)}};
    if (!project.dataDigest.empty()) {
        data["size"] = project.dataSize;
        data["digest"] = project.dataDigest;
    }
    const JobOverrides& o = job.overrides;
    const Json document = {
        {"kind", kProjectKind},
        {"version", kProjectVersion},
        {"device", {{"type", job.type}, {"maker", job.maker}, {"name", job.name}}},
        {"data", data},
        {"range", {{"start", job.start}, {"length", job.length}}},
        {"permittedErrors", job.permittedErrors},
        {"overrides",
         {{"waitMode", o.waitMode < 0 ? Json(nullptr) : Json(o.waitMode)},
          {"pageWrite", o.pageWrite},
          {"byteWrite", o.byteWrite},
          {"idCheck", o.idCheck},
          {"verify", o.verify},
          {"changedOnly", o.changedOnly}}},
        {"batch",
         {{"serial", project.batchSerial}, {"log", Relative(project.batchLog, path)}, {"count", project.batchCount}}},
        {"note", project.note},
    };
    // Written beside the target and renamed over it only when complete.
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << document.dump(2) << '\n';
        out.flush();
        if (!out) {
            error = "cannot write the project file " + path;
            std::remove(temporary.c_str());
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec) {
        error = "cannot write the project file " + path + ": " + ec.message();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

namespace {

// A member's value as the command line would spell it: a number's digits,
// a text as it is (null: absent).
std::string ValueText(const Json& value) {
    if (value.is_string()) return value.get<std::string>();
    return value.dump();
}

// A member that must be a whole number: a fraction or an exponent is
// refused before it is converted (a float out of an integer's range has no
// value as one).
struct NotWhole : std::runtime_error {
    using std::runtime_error::runtime_error;
};
const Json& Whole(const Json& value, const char* member) {
    if (!value.is_number_integer()) throw NotWhole(std::string(member) + " is not a whole number");
    return value;
}

// Reads the members of a project document; a value the command line's
// option refuses is said in `refused` as "member: why, not "value"".
void ReadMembers(const Json& document, const std::string& path, Project& read, std::string& refused) {
    const auto check = [&refused](const char* member, const Json& value, const std::string& problem) {
        if (!problem.empty() && refused.empty())
            refused = Format("\"%s\": %s, not \"%s\"", member, problem.c_str(), ValueText(value).c_str());
    };
    const Json& device = document.at("device");
    read.job.type = device.at("type").get<std::string>();
    read.job.maker = device.at("maker").get<std::string>();
    read.job.name = device.at("name").get<std::string>();
    const Json data = document.value("data", Json::object());
    read.job.file = Resolved(data.value("file", std::string()), path);
    if (data.contains("format") && !data["format"].is_null())
        read.job.format = Whole(data["format"], "data.format").get<uint32_t>();
    if (data.contains("size")) read.dataSize = Whole(data["size"], "data.size").get<uint64_t>();
    read.dataDigest = data.value("digest", std::string());
    const Json range = document.value("range", Json::object());
    for (const auto& [member, option, target] :
         {std::tuple{"range.start", "--start", &read.job.start}, {"range.length", "--length", &read.job.length}}) {
        const Json& value = range.value(std::string(member).substr(6), Json(""));
        *target = ValueText(value);  // kept as saved (the window's fields show it so)
        if (target->empty()) continue;  // the whole device, as without the option
        std::string digits;
        check(member, value, CheckHexValue(option, *target, digits));
    }
    if (document.contains("permittedErrors"))
        check("permittedErrors", document["permittedErrors"],
              CheckErrorsValue(ValueText(document["permittedErrors"]), read.job.permittedErrors));
    const Json o = document.value("overrides", Json::object());
    JobOverrides& v = read.job.overrides;
    if (o.contains("waitMode") && !o["waitMode"].is_null())
        check("overrides.waitMode", o["waitMode"], CheckWaitModeValue(ValueText(o["waitMode"]), v.waitMode));
    v.pageWrite = o.value("pageWrite", v.pageWrite);
    v.byteWrite = o.value("byteWrite", v.byteWrite);
    v.idCheck = o.value("idCheck", v.idCheck);
    v.verify = o.value("verify", v.verify);
    v.changedOnly = o.value("changedOnly", v.changedOnly);
    if (v.pageWrite && v.byteWrite && refused.empty())
        refused = "\"overrides.pageWrite\" and \"overrides.byteWrite\" ask for opposite writes "
                  "(as --page-write and --byte-write): keep one of them";
    const Json batch = document.value("batch", Json::object());
    read.batchSerial = batch.value("serial", std::string());
    read.batchLog = Resolved(batch.value("log", std::string()), path);
    // 0 is what the window saves for a batch that runs until it is ended.
    if (batch.contains("count") && ValueText(batch["count"]) != "0")
        check("batch.count", batch["count"], CheckCountValue(ValueText(batch["count"]), read.batchCount));
    read.note = document.value("note", std::string());
}

}  // namespace

bool ParseProject(const std::string& text, const std::string& path, Project& project, std::string& error,
                  ProjectRefusal* refusal) {
    ProjectRefusal ignored;
    ProjectRefusal& why = refusal ? *refusal : ignored;
    why = ProjectRefusal::File;
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::exception& e) {
        error = path + " is not a project file (or it is cut short): " + e.what();
        return false;
    }
    if (!document.is_object() || !document.contains("kind") || document["kind"] != kProjectKind) {
        error = path + " is not a project file of this program";
        return false;
    }
    Project read;
    std::string refused;
    try {
        const int version = Whole(document.at("version"), "version").get<int>();
        if (version > kProjectVersion) {
            error = Format("%s is a project of a newer version (%d; this program reads up to %d)", path.c_str(),
                           version, kProjectVersion);
            return false;
        }
        ReadMembers(document, path, read, refused);
    } catch (const Json::exception& e) {
        error = path + ": a member of the project is missing or of the wrong kind: " + e.what();
        return false;
    } catch (const NotWhole& e) {
        error = path + ": a member of the project is of the wrong kind: " + e.what();
        return false;
    }
    if (read.job.type.empty() || read.job.maker.empty() || read.job.name.empty()) {
        error = path + ": the project names no device";
        return false;
    }
    if (!refused.empty()) {
        error = path + ", " + refused;
        why = ProjectRefusal::Value;
        return false;
    }
    why = ProjectRefusal::None;
    project = std::move(read);
    return true;
}

bool LoadProject(const std::string& path, Project& project, std::string& error, ProjectRefusal* refusal) {
    if (refusal) *refusal = ProjectRefusal::File;
    // A directory would throw on its read and a FIFO would wait for a writer.
    if (const std::string why = InputFileProblem(path); !why.empty() || path == "-") {
        error = "cannot open the project file " + path + ": " + (why.empty() ? "standard input is no project" : why);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the project file " + path;
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read the project file " + path;
        return false;
    }
    return ParseProject(text, path, project, error, refusal);
}

std::string DataFileChange(const Project& project) {
    const std::string& file = project.job.file;
    if (file.empty() || file == "-" || project.dataDigest.empty()) return {};
    uint64_t size = 0;
    std::string digest;
    if (!DigestFile(file, size, digest)) return "the data file " + file + " is missing or cannot be read";
    if (size != project.dataSize)
        return Format("the data file %s has changed since the project was saved (%llu bytes then, %llu now)",
                      file.c_str(), static_cast<unsigned long long>(project.dataSize),
                      static_cast<unsigned long long>(size));
    if (digest != project.dataDigest)
        return "the data file " + file + " has changed since the project was saved (same size, other contents)";
    return {};
}

}  // namespace krt
