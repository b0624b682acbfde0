// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Project.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <system_error>

#include "base/Log.h"

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

bool LoadProject(const std::string& path, Project& project, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open the project file " + path;
        return false;
    }
    Json document;
    try {
        document = Json::parse(in);
    } catch (const Json::parse_error& e) {
        error = path + " is not a project file (or it is cut short): " + e.what();
        return false;
    }
    if (!document.is_object() || document.value("kind", std::string()) != kProjectKind) {
        error = path + " is not a project file of this program";
        return false;
    }
    Project read;
    try {
        const int version = document.at("version").get<int>();
        if (version > kProjectVersion) {
            error = Format("%s is a project of a newer version (%d; this program reads up to %d)", path.c_str(),
                           version, kProjectVersion);
            return false;
        }
        const Json& device = document.at("device");
        read.job.type = device.at("type").get<std::string>();
        read.job.maker = device.at("maker").get<std::string>();
        read.job.name = device.at("name").get<std::string>();
        const Json data = document.value("data", Json::object());
        read.job.file = Resolved(data.value("file", std::string()), path);
        if (data.contains("format") && !data["format"].is_null()) read.job.format = data["format"].get<uint32_t>();
        read.dataSize = data.value("size", uint64_t{0});
        read.dataDigest = data.value("digest", std::string());
        const Json range = document.value("range", Json::object());
        read.job.start = range.value("start", std::string());
        read.job.length = range.value("length", std::string());
        read.job.permittedErrors = document.value("permittedErrors", read.job.permittedErrors);
        const Json o = document.value("overrides", Json::object());
        JobOverrides& v = read.job.overrides;
        if (o.contains("waitMode") && !o["waitMode"].is_null()) v.waitMode = o["waitMode"].get<int>();
        v.pageWrite = o.value("pageWrite", v.pageWrite);
        v.byteWrite = o.value("byteWrite", v.byteWrite);
        v.idCheck = o.value("idCheck", v.idCheck);
        v.verify = o.value("verify", v.verify);
        v.changedOnly = o.value("changedOnly", v.changedOnly);
        const Json batch = document.value("batch", Json::object());
        read.batchSerial = batch.value("serial", std::string());
        read.batchLog = Resolved(batch.value("log", std::string()), path);
        read.batchCount = batch.value("count", uint32_t{0});
        read.note = document.value("note", std::string());
    } catch (const Json::exception& e) {
        error = path + ": a member of the project is missing or of the wrong kind: " + e.what();
        return false;
    }
    if (read.job.type.empty() || read.job.maker.empty() || read.job.name.empty()) {
        error = path + ": the project names no device";
        return false;
    }
    project = std::move(read);
    return true;
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
