// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/DeviceLoader.h"

#include "catalogue/CatalogueFiles.h"
#include "catalogue/CatalogueTexts.h"
#include "catalogue/FillDeviceRecord.h"
#include "catalogue/ParamFile.h"
#include "base/Log.h"
#include "base/StatusMessages.h"

namespace krt {

bool OpenCatalogue(const std::string& overrideDir, LogSink* log, Catalogue& out) {
    out = Catalogue{};
    out.directory = FindCatalogueDirectory(overrideDir);
    if (out.directory.empty()) return false;
    out.listPath = DeviceListPath(out.directory);
    out.list = DeviceList(out.listPath, log);
    return out.list.loaded;
}

DeviceLoadResult LoadDeviceRecord(const DeviceList& list, const std::string& catalogueDir,
                                  const std::string& typeKey, const std::string& maker,
                                  const std::string& name, uint32_t language, LogSink* log,
                                  DeviceRecord& record) {
    DeviceLoadResult result;
    record = DeviceRecord{};
    result.entry = list.Find(typeKey, maker, name);
    // A name typed that the list does not hold has no parameter file to
    // name: say which device was asked for.
    if (result.entry >= list.count) {
        Log(log, CatalogueTextOf(language, CatalogueText::NotListed), typeKey.c_str(), maker.c_str(), name.c_str());
        return result;
    }
    const std::string& fileName = list.files[result.entry];
    // The list's own spelling is what the selection boxes show.
    const bool listed = result.entry < list.count;
    const std::string& shownType = listed ? list.types[result.entry] : typeKey;
    const std::string& shownMaker = listed ? list.makers[result.entry] : maker;
    const std::string& shownName = listed ? list.names[result.entry] : name;

    result.path = ResolveCatalogueFile(catalogueDir, fileName);
    ParamFile file(result.path, shownName);
    result.paramStatus = file.status();
    const uint32_t status = file.status();
    if (status & ParamFile::kOpenFailedNamed)
        Log(log, MessageText(language, 17), fileName.c_str());
    if (status & ParamFile::kDeviceMissing)
        Log(log, MessageText(language, 18), fileName.c_str(), shownName.c_str());
    if (status & ParamFile::kOpenFailed)
        Log(log, MessageText(language, 20), fileName.c_str());
    if (status & ParamFile::kNoMemory) Log(log, "%s", MessageText(language, 19));
    if (status != 0) return result;

    DeviceRecord filled;
    FillDeviceRecord(filled, file, list.codes[result.entry], shownType, shownMaker, shownName);
    std::string reason;
    if (!CheckDeviceRecord(filled, reason)) {
        Log(log, CatalogueTextOf(language, CatalogueText::RecordRefused), shownName.c_str(),
            reason.c_str());
        return result;
    }
    Log(log, MessageText(language, 16), shownName.c_str());
    record = std::move(filled);
    result.selected = true;
    return result;
}

}  // namespace krt
