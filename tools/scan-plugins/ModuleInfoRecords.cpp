#include "tools/scan-plugins/ModuleInfoRecords.h"

#include <map>
#include <variant>

#include "tools/scan-plugins/FileIo.h"

namespace {

const char kWarningStart[] = "moduleinfo.json: ";

const wchar_t* const kModuleInfoPlaces[] = {L"\\Contents\\Resources\\moduleinfo.json",
                                            L"\\Contents\\moduleinfo.json"};

// The record's one class, when its report has one.
Vst3Class* ClassOf(ScanRecord& record) {
    if (!record.report) return nullptr;
    Vst3Report* report = std::get_if<Vst3Report>(&*record.report);
    return report != nullptr && !report->classes.empty() ? &report->classes.front() : nullptr;
}

// Class ids compare in both orders they may be written in.
bool SameClassId(const std::string& written, const std::string& reported) {
    return written == reported || written == OtherClassIdOrder(reported);
}

std::vector<Replacement> ReplacementsOf(const ModuleInfo& info, const std::string& cid) {
    std::vector<Replacement> replaces;
    for (const ModuleInfoCompatibility& entry : info.compatibility) {
        if (!SameClassId(entry.newCid, cid)) continue;
        for (const std::string& old : entry.oldCids) {
            Replacement replaced{old, std::nullopt};
            uint32_t id;
            if (Vst2IdOfClassId(old, id)) replaced.vst2Id = id;
            replaces.push_back(std::move(replaced));
        }
    }
    return replaces;
}

// The vendor a class stands for: its own, else its factory's.
std::string VendorOf(const ModuleInfoClass& found, const ModuleInfo& info) {
    return found.vendor.empty() ? info.factoryVendor : found.vendor;
}

// One warning per class in one and not the other, and per name or vendor
// that differs; the factory's facts stay in the records.
std::vector<std::string> Differences(const ModuleInfo& info, std::vector<ScanRecord>& records) {
    std::vector<std::string> warnings;
    std::vector<bool> matched(records.size(), false);
    for (const ModuleInfoClass& written : info.classes) {
        if (written.category != kVst3AudioModuleClass) continue;
        size_t at = 0;
        while (at < records.size() && (ClassOf(records[at]) == nullptr ||
                                       !SameClassId(written.cid, ClassOf(records[at])->cid))) {
            ++at;
        }
        if (at == records.size()) {
            warnings.push_back(kWarningStart + std::string("class ") + written.cid + " '" +
                               written.name + "' is not in the factory");
            continue;
        }
        matched[at] = true;
        const Vst3Class& reported = *ClassOf(records[at]);
        if (written.name != reported.name) {
            warnings.push_back(kWarningStart + std::string("class ") + written.cid + " is named '" +
                               written.name + "', the factory names it '" + reported.name + "'");
        }
        std::string vendor = VendorOf(written, info);
        if (vendor != reported.vendor) {
            warnings.push_back(kWarningStart + std::string("class ") + written.cid +
                               " has the vendor '" + vendor + "', the factory gives '" +
                               reported.vendor + "'");
        }
    }
    for (size_t at = 0; at < records.size(); ++at) {
        const Vst3Class* reported = ClassOf(records[at]);
        if (reported == nullptr || matched[at]) continue;
        warnings.push_back(kWarningStart + std::string("the factory's class ") + reported->cid +
                           " '" + reported->name + "' is not in it");
    }
    return warnings;
}

bool FileSize(const std::wstring& path, uint64_t& size) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

}  // namespace

BundleModuleInfo ReadBundleModuleInfo(const PluginFile& file) {
    BundleModuleInfo read;
    for (const wchar_t* place : kModuleInfoPlaces) {
        std::wstring path = file.path + place;
        uint64_t size = 0;
        if (!FileSize(path, size)) continue;
        read.state = ModuleInfoState::kUnreadable;
        std::string text;
        // Its size is checked first so that a huge file is never read whole.
        if (size > kModuleInfoLimit) {
            read.problem = "larger than " + std::to_string(kModuleInfoLimit) + " bytes";
        } else if (ReadWholeFile(path, text, read.problem) == ReadResult::kRead &&
                   ParseModuleInfo(text, read.info, read.problem)) {
            read.state = ModuleInfoState::kRead;
        }
        return read;
    }
    return read;
}

void AddModuleInfoFacts(const BundleModuleInfo& read, std::vector<ScanRecord>& records) {
    if (read.state == ModuleInfoState::kAbsent || records.empty()) return;
    std::vector<std::string>& warnings = records.front().fileWarnings;
    if (read.state == ModuleInfoState::kUnreadable) {
        warnings.push_back(kWarningStart + std::string("cannot be read: ") + read.problem);
        return;
    }
    for (ScanRecord& record : records) {
        if (const Vst3Class* found = ClassOf(record))
            record.replaces = ReplacementsOf(read.info, found->cid);
    }
    for (std::string& warning : Differences(read.info, records))
        warnings.push_back(std::move(warning));
}

void AddModuleInfoRecords(const PluginFile& file, const ModuleInfo& info,
                          std::vector<ScanRecord>& records) {
    ScanRecord record;
    record.path = file.path;
    record.format = protocol::PluginFormat::kVst3;
    record.source = kModuleInfoSource;
    record.status = ScanStatus::kOk;
    Vst3Report report;
    report.factoryVendor = info.factoryVendor;
    report.factoryUrl = info.factoryUrl;
    report.factoryEmail = info.factoryEmail;
    size_t first = records.size();
    for (const ModuleInfoClass& written : info.classes) {
        if (written.category != kVst3AudioModuleClass) continue;
        Vst3Class found;
        // In the order the server reports class ids: their bytes in memory.
        found.cid = OtherClassIdOrder(written.cid);
        found.category = written.category;
        found.name = written.name;
        found.vendor = VendorOf(written, info);
        found.version = written.version;
        found.sdkVersion = written.sdkVersion;
        found.subCategories = written.subCategories;
        found.cardinality = written.cardinality;
        found.classFlags = written.classFlags;
        report.classes.assign(1, std::move(found));
        record.report = report;
        record.replaces = ReplacementsOf(info, written.cid);
        records.push_back(record);
    }
    if (records.size() > first) return;
    record.status = ScanStatus::kError;
    record.error = report.error = "The module holds no audio processor class";
    record.report = report;
    records.push_back(record);
}

void MarkReplacements(std::vector<FileWork>& work) {
    std::map<uint32_t, ReplacingClass> replacing;
    for (FileWork& item : work) {
        for (ScanRecord& record : item.records) {
            record.vst2Id.reset();
            record.replacedBy.reset();
            const Vst3Class* found = ClassOf(record);
            if (found == nullptr) continue;
            uint32_t id;
            if (Vst2IdOfClassId(found->cid, id)) {
                record.vst2Id = id;
                replacing.emplace(id, ReplacingClass{record.path, found->cid});
            }
            for (const Replacement& replaced : record.replaces) {
                if (replaced.vst2Id) {
                    replacing.emplace(*replaced.vst2Id, ReplacingClass{record.path, found->cid});
                }
            }
        }
    }
    for (FileWork& item : work) {
        for (ScanRecord& record : item.records) {
            if (record.format != protocol::PluginFormat::kVst2 || !record.report) continue;
            const Vst2Report* report = std::get_if<Vst2Report>(&*record.report);
            if (report == nullptr || report->id == 0) continue;
            auto by = replacing.find(report->id);
            if (by != replacing.end()) record.replacedBy = by->second;
        }
    }
}
