// The folders a user's plugins are installed in, per format, for a run given
// no path: one table of places (an environment variable's folder, a list in
// an environment variable, a registry value), each folder taken where it exists.
#pragma once

#include <string>
#include <vector>

#include "tools/scan-plugins/PluginFiles.h"

struct StandardFolder {
    std::wstring path;
    protocol::PluginFormat format;
    std::string reason;  // the place it comes from, e.g. "%COMMONPROGRAMFILES%\CLAP"
};

// The existing folders of the formats, in table order, each once per format.
std::vector<StandardFolder> FindStandardFolders(const FormatList& formats);
// One line per folder: its format, the folder and the place it comes from.
std::string StandardFolderLines(const std::vector<StandardFolder>& folders);
