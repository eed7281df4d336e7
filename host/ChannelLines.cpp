#include "host/ChannelLines.h"

#include <string_view>

#include "protocol/Protocol.h"

namespace {

// The line is `length` bytes at `line`; only its text after the channel is copied.
void AddLine(ChannelLines& lines, const char* line, size_t length) {
    std::string_view whole(line, length);
    size_t colon = whole.find(':');
    std::string_view channel =
        colon == std::string_view::npos ? std::string_view() : whole.substr(0, colon);
    std::string_view text = colon == std::string_view::npos ? whole : whole.substr(colon + 1);
    if (channel == protocol::kInfoChannel) {
        lines.info.emplace_back(text);
    } else if (channel == protocol::kWarningChannel) {
        lines.warnings.emplace_back(text);
        lines.infoBeforeWarning.push_back(lines.info.size());
    } else if (channel == protocol::kErrorChannel) {
        lines.errors.emplace_back(text);
    } else if (channel == protocol::kReportChannel) {
        lines.report.emplace_back(text);
    } else {
        lines.other.emplace_back(whole);
    }
}

}  // namespace

ChannelLines SortByChannel(const std::string& output) {
    ChannelLines lines;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        AddLine(lines, output.data() + start, end - start);
        start = end + 1;
    }
    return lines;
}
