#include "host/AnyReport.h"

#include <iterator>
#include <utility>

#include "host/ReportJson.h"

namespace {

template <size_t... kIndex>
AnyReport ReportAt(size_t index, std::index_sequence<kIndex...>) {
    AnyReport report;
    static_cast<void>(((index == kIndex ? (report.emplace<kIndex>(), true) : false) || ...));
    return report;
}

}  // namespace

protocol::PluginFormat FormatOf(const AnyReport& report) {
    return static_cast<protocol::PluginFormat>(report.index());
}

AnyReport ReportOfFormat(protocol::PluginFormat format) {
    static_assert(std::size(protocol::kFormats) == std::variant_size_v<AnyReport>);
    return ReportAt(static_cast<size_t>(format),
                    std::make_index_sequence<std::variant_size_v<AnyReport>>());
}

const std::string& ReportError(const AnyReport& report) {
    return std::visit([](const auto& read) -> const std::string& { return read.error; }, report);
}

bool ParseAnyReport(const std::string& text, AnyReport& report) {
    nlohmann::ordered_json parsed = ParseReportJson(text);
    if (!parsed.is_object()) return false;
    protocol::PluginFormat format = protocol::PluginFormat::kVst2;
    auto name = parsed.find("format");
    if (name != parsed.end() &&
        (!name->is_string() ||
         !protocol::FormatFromName(name->get_ref<const std::string&>().c_str(), format))) {
        return false;
    }
    AnyReport read = ReportOfFormat(format);
    if (!std::visit([&](auto& each) { return ReadReport(parsed, each); }, read)) return false;
    report = std::move(read);
    return true;
}
