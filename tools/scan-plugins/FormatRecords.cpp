#include "tools/scan-plugins/FormatRecords.h"

#include <algorithm>
#include <string>

#include "host/Placement.h"
#include "protocol/Protocol.h"

using nlohmann::ordered_json;

namespace {

void WriteKnownPlacement(const std::optional<Placement>& placement, ordered_json& object) {
    if (placement) WritePlacementMembers(*placement, object);
}

// VST 2: one record per request, a shell's sub-plugins each a request of its own.

void AddRecordsOf(ScanRecord& file, Vst2Report&, std::vector<ScanRecord>& records) {
    records.push_back(file);
}

std::vector<uint32_t> SubPluginIdsOf(const Vst2Report& report) {
    std::vector<uint32_t> ids;
    if (report.category != protocol::kShellCategory) return ids;
    for (const ShellPlugin& shell : report.shells) ids.push_back(shell.id);
    return ids;
}

void WriteMembersOf(const Vst2Report& report, ordered_json& object) {
    WriteReportMembers(report, object);
    WriteKnownPlacement(PlacementOf(report), object);
}

bool ReadMembersOf(const ordered_json& object, Vst2Report& report) {
    return ReadReport(object, report);
}

// CLAP and VST3: one request lists every item of the file, and each item
// becomes a record: the item's members, then the file's.

template <typename Report, typename Item>
struct ItemList {
    std::vector<Item> Report::*items;
    // The item's first member, which tells a record that has one.
    const char* firstItemMember;
    // The error of a file that was scanned and gave none.
    const char* noItem;
    // What a record adds to the item's own members; none when null.
    void (*writeExtras)(const Item& item, ordered_json& object);
    // Leaves only the items a user picks; all when null.
    void (*keepPicked)(Report& report);
};

// The sub-categories as a list too: "Fx|Delay" gives ["Fx", "Delay"].
void WriteSubCategoryList(const Vst3Class& found, ordered_json& object) {
    ordered_json list = ordered_json::array();
    const std::string& subCategories = found.subCategories;
    for (size_t start = 0; start < subCategories.size();) {
        size_t end = std::min(subCategories.find('|', start), subCategories.size());
        list.push_back(subCategories.substr(start, end - start));
        start = end + 1;
    }
    object["subCategoryList"] = std::move(list);
}

// The classes a user picks, each with the factory's vendor where it names none.
void KeepAudioProcessors(Vst3Report& report) {
    std::vector<Vst3Class> processors;
    for (Vst3Class& found : report.classes) {
        if (found.category != kVst3AudioModuleClass) continue;
        if (found.vendor.empty()) found.vendor = report.factoryVendor;
        processors.push_back(std::move(found));
    }
    report.classes = std::move(processors);
}

const ItemList<ClapReport, ClapPlugin>& ItemsOf(const ClapReport&) {
    static constexpr ItemList<ClapReport, ClapPlugin> kList{
        &ClapReport::plugins, "id", "The file holds no CLAP plugin", nullptr, nullptr};
    return kList;
}

const ItemList<Vst3Report, Vst3Class>& ItemsOf(const Vst3Report&) {
    static constexpr ItemList<Vst3Report, Vst3Class> kList{
        &Vst3Report::classes, "cid", "The module holds no audio processor class",
        WriteSubCategoryList, KeepAudioProcessors};
    return kList;
}

// Each record is the file's with one item alone in the list, and the time of
// the file's one scan; an error when the scan succeeded but gave no item.
template <typename Report>
void AddRecordsOf(ScanRecord& file, Report& report, std::vector<ScanRecord>& records) {
    const auto& list = ItemsOf(report);
    if (list.keepPicked != nullptr) list.keepPicked(report);
    auto items = std::move(report.*list.items);
    (report.*list.items).clear();
    if (file.status == ScanStatus::kOk && items.empty()) {
        file.status = ScanStatus::kError;
        file.error = report.error = list.noItem;
    }
    if (items.empty()) records.push_back(file);
    for (auto& item : items) {
        (report.*list.items).assign(1, std::move(item));
        records.push_back(file);
    }
}

template <typename Report>
std::vector<uint32_t> SubPluginIdsOf(const Report&) {
    return {};
}

template <typename Report>
void WriteMembersOf(const Report& report, ordered_json& object) {
    const auto& list = ItemsOf(report);
    const auto& items = report.*list.items;
    if (!items.empty()) {
        WriteItemMembers(items.front(), object);
        if (list.writeExtras != nullptr) list.writeExtras(items.front(), object);
    }
    WriteFileMembers(report, object);
    if (!items.empty()) WriteKnownPlacement(PlacementOf(report, items.front()), object);
}

template <typename Report>
bool ReadMembersOf(const ordered_json& object, Report& report) {
    const auto& list = ItemsOf(report);
    Report read;
    if (!ReadFileMembers(object, read)) return false;
    if (object.contains(list.firstItemMember)) {
        auto& items = read.*list.items;
        items.emplace_back();
        if (!ReadItemMembers(object, items.back())) return false;
    }
    report = std::move(read);
    return true;
}

}  // namespace

void AddFileRecords(ScanRecord& file, std::vector<ScanRecord>& records) {
    if (!file.report) {
        records.push_back(file);
        return;
    }
    std::visit([&](auto& report) { AddRecordsOf(file, report, records); }, *file.report);
}

std::vector<uint32_t> SubPluginIds(const ScanRecord& file) {
    if (!file.report) return {};
    return std::visit([](const auto& report) { return SubPluginIdsOf(report); }, *file.report);
}

bool HasFactoryOnlyRequest(protocol::PluginFormat format) {
    return format == protocol::PluginFormat::kClap || format == protocol::PluginFormat::kVst3;
}

void WriteRecordReport(const AnyReport& report, ordered_json& object) {
    std::visit([&](const auto& each) { WriteMembersOf(each, object); }, report);
}

bool ReadRecordReport(const ordered_json& object, AnyReport& report) {
    return std::visit([&](auto& each) { return ReadMembersOf(object, each); }, report);
}
