// The lines of one answer sorted by channel; no Windows dependency, so that
// what reads them builds anywhere.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The lines of one answer by channel, each without its channel name, colon
// and line feed; a line of no known channel stays whole in `other`.
struct ChannelLines {
    std::vector<std::string> info;
    std::vector<std::string> warnings;
    // Per warning: how many info lines came before it, which tells the step
    // of the scan it came from.
    std::vector<size_t> infoBeforeWarning;
    std::vector<std::string> errors;
    std::vector<std::string> report;
    std::vector<std::string> other;
};

ChannelLines SortByChannel(const std::string& output);
