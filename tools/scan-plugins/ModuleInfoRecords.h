// What a VST3 bundle's moduleinfo.json adds to the records: the class ids
// each class replaces, the differences from what the factory reported, and,
// for a first look, the records themselves without loading any code. It is a
// file of data, so scan-plugins reads it itself and no server is needed.
#pragma once

#include <string>
#include <vector>

#include "tools/scan-plugins/ModuleInfo.h"
#include "tools/scan-plugins/PluginFiles.h"
#include "tools/scan-plugins/ScanRecord.h"
#include "tools/scan-plugins/Scanner.h"

enum class ModuleInfoState { kAbsent, kRead, kUnreadable };

struct BundleModuleInfo {
    ModuleInfoState state = ModuleInfoState::kAbsent;
    ModuleInfo info;
    std::string problem;  // why it is unreadable
};

// The bundle's moduleinfo.json, in Contents\Resources or (older bundles) in
// Contents; absent for a module file that is no bundle.
BundleModuleInfo ReadBundleModuleInfo(const PluginFile& file);

// Adds to the records the server's report gave: each class's replacements,
// and to the first record a warning per difference from the factory, or why
// the file could not be read.
void AddModuleInfoFacts(const BundleModuleInfo& read, std::vector<ScanRecord>& records);

// The records of a bundle as its moduleinfo.json tells them: one per audio
// processor class.
void AddModuleInfoRecords(const PluginFile& file, const ModuleInfo& info,
                          std::vector<ScanRecord>& records);

// Sets each VST3 class's own VST 2 id and each VST 2 record's replacing
// class, across all files of the run.
void MarkReplacements(std::vector<FileWork>& work);
