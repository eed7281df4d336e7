// What a run tells on standard error while it goes and when it is done: a
// live line on a console or terminal, one plain line per finished plugin
// file otherwise, and a closing summary.
#pragma once

#include <string>
#include <vector>

#include "tools/scan-plugins/Scanner.h"

// Text for standard error, in UTF-8; shown right on a console as well.
void WriteStandardError(const std::string& text);
bool StandardErrorIsTerminal();

class ProgressDisplay {
public:
    ProgressDisplay(size_t toScan, bool live) : toScan_(toScan), live_(live) {}
    void Finished(const FileWork& work);
    void ShowCurrent(const FileWork& current, double elapsedSeconds);
    // Takes the live line away before anything else is written.
    void Clear();

private:
    void ShowLine(const std::string& line);

    size_t toScan_;
    bool live_;
    size_t done_ = 0;
    size_t shownLength_ = 0;
};

std::string SummaryText(const std::vector<FileWork>& work, double elapsedSeconds, unsigned servers);
