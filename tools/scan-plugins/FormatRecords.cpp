#include "tools/scan-plugins/FormatRecords.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/Placement.h"
#include "protocol/Protocol.h"

using nlohmann::ordered_json;

namespace {

void WriteKnownPlacement(const std::optional<Placement>& placement, ordered_json& object) {
    if (placement) WritePlacementMembers(*placement, object);
}

// VST 2: one record per request, a shell's sub-plugins each a request of its own.

void AddRecordsOf(ScanRecord& file, Vst2Report&, const ChannelLines&,
                  std::vector<ScanRecord>& records) {
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
    // The server's info line that begins the reading of an item, which the
    // warn lines about that item follow; null when no warning concerns an
    // item that is kept.
    const char* itemReading;
    // How a warn line that leaves the item it follows out ends.
    const char* itemLeftOut;
    // The server's info line, followed by the item's place in the list, that
    // begins the steps of the item's instance; the warn lines up to the next
    // such line concern that item. None when null.
    const char* instanceStart;
    // How a warn line that names the item by its place begins, the place and
    // a colon following.
    const char* instanceWarning;
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
    static constexpr ItemList<ClapReport, ClapPlugin> kList{&ClapReport::plugins,
                                                            "id",
                                                            "The file holds no CLAP plugin",
                                                            nullptr,
                                                            nullptr,
                                                            "Reading plugin descriptor ",
                                                            " is NULL, left out",
                                                            "Creating plugin ",
                                                            "Plugin "};
    return kList;
}

const ItemList<Vst3Report, Vst3Class>& ItemsOf(const Vst3Report&) {
    static constexpr ItemList<Vst3Report, Vst3Class> kList{
        &Vst3Report::classes,
        "cid",
        "The module holds no audio processor class",
        WriteSubCategoryList,
        KeepAudioProcessors,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return kList;
}

bool StartsWith(const std::string& text, const char* start) {
    return text.compare(0, std::strlen(start), start) == 0;
}

bool EndsWith(const std::string& text, const char* end) {
    size_t length = std::strlen(end);
    return text.size() >= length && text.compare(text.size() - length, length, end) == 0;
}

// Per kept warning, the place in the item list of the item it concerns, or
// kNoItem for the file. A warn line that directly follows the info line that
// begins the reading of an item concerns that item, unless one of them leaves
// the item out; the items kept are those not left out, in the order read.
// The warn lines of an item's instance steps concern that item too.
constexpr size_t kNoItem = SIZE_MAX;

// The place after the text's start, when a colon follows it.
size_t PlaceAfter(const std::string& text, const char* start) {
    if (!StartsWith(text, start)) return kNoItem;
    const char* digits = text.c_str() + std::strlen(start);
    char* end = nullptr;
    unsigned long place = std::strtoul(digits, &end, 10);
    return end != digits && *end == ':' ? place : kNoItem;
}

void AssignInstanceWarnings(const ChannelLines& lines, const char* instanceStart,
                            const char* instanceWarning, std::vector<size_t>& items) {
    const std::vector<size_t>& after = lines.infoBeforeWarning;
    size_t item = kNoItem;
    size_t warning = 0;
    for (size_t info = 0; info < lines.info.size(); ++info) {
        for (; warning < items.size() && after[warning] <= info; ++warning) {
            if (item != kNoItem) items[warning] = item;
        }
        if (StartsWith(lines.info[info], instanceStart)) {
            item = std::strtoul(lines.info[info].c_str() + std::strlen(instanceStart), nullptr, 10);
        }
    }
    for (; warning < items.size(); ++warning) {
        if (item != kNoItem) items[warning] = item;
    }
    for (size_t at = 0; at < items.size(); ++at) {
        size_t named = PlaceAfter(lines.warnings[at], instanceWarning);
        if (named != kNoItem) items[at] = named;
    }
}

template <typename List>
std::vector<size_t> WarningItems(const ChannelLines& lines, size_t kept, const List& list) {
    std::vector<size_t> items(kept, kNoItem);
    const char* itemReading = list.itemReading;
    const char* itemLeftOut = list.itemLeftOut;
    const std::vector<size_t>& after = lines.infoBeforeWarning;
    size_t item = 0;
    for (size_t info = 0; itemReading != nullptr && info < lines.info.size(); ++info) {
        if (!StartsWith(lines.info[info], itemReading)) continue;
        auto first = std::lower_bound(after.begin(), after.end(), info + 1) - after.begin();
        auto last = std::upper_bound(after.begin(), after.end(), info + 1) - after.begin();
        bool leftOut =
            std::any_of(lines.warnings.begin() + first, lines.warnings.begin() + last,
                        [&](const std::string& line) { return EndsWith(line, itemLeftOut); });
        if (leftOut) continue;
        for (auto at = first; at < last && static_cast<size_t>(at) < kept; ++at) items[at] = item;
        ++item;
    }
    if (list.instanceStart != nullptr) {
        AssignInstanceWarnings(lines, list.instanceStart, list.instanceWarning, items);
    }
    return items;
}

// Each record is the file's with one item alone in the list, and the time of
// the file's one scan; an error when the scan succeeded but gave no item. The
// warnings about one item go to its record, those about the file (and the
// count of those left out) to the first record, once.
template <typename Report>
void AddRecordsOf(ScanRecord& file, Report& report, const ChannelLines& lines,
                  std::vector<ScanRecord>& records) {
    const auto& list = ItemsOf(report);
    std::vector<size_t> warningItems = WarningItems(lines, file.warnings.size(), list);
    if (list.keepPicked != nullptr) list.keepPicked(report);
    auto items = std::move(report.*list.items);
    (report.*list.items).clear();
    if (file.status == ScanStatus::kOk && items.empty()) {
        file.status = ScanStatus::kError;
        file.error = report.error = list.noItem;
    }
    if (items.empty()) {
        records.push_back(file);
        return;
    }
    std::vector<std::string> warnings = std::move(file.warnings);
    size_t leftOut = file.warningsLeftOut;
    file.warnings.clear();
    file.warningsLeftOut = 0;
    size_t firstRecord = records.size();
    for (auto& item : items) {
        (report.*list.items).assign(1, std::move(item));
        records.push_back(file);
    }
    ScanRecord& head = records[firstRecord];
    head.warningsLeftOut = leftOut;
    for (size_t at = 0; at < warnings.size(); ++at) {
        size_t item = warningItems[at];
        std::vector<std::string>& kept =
            item < items.size() ? records[firstRecord + item].warnings : head.fileWarnings;
        kept.push_back(std::move(warnings[at]));
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

void AddFileRecords(ScanRecord& file, const ChannelLines& lines, std::vector<ScanRecord>& records) {
    if (!file.report) {
        records.push_back(file);
        return;
    }
    std::visit([&](auto& report) { AddRecordsOf(file, report, lines, records); }, *file.report);
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
