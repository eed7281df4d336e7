#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host/Text.h"
#include "support/ScanPluginsSupport.h"
#include "tools/scan-plugins/PluginFiles.h"

namespace {

using protocol::PluginFormat;

const FormatList kBothFormats = {PluginFormat::kVst2, PluginFormat::kClap};

TEST(PluginFiles, FoldersGiveTheirPluginFilesInAStableOrderAndMissingPathsAreNamed) {
    TempFolder folder;
    const std::wstring& root = folder.Path();
    for (const wchar_t* subfolder : {L"sub", L"m.dll"}) {
        ASSERT_TRUE(CreateDirectoryW((root + L"\\" + subfolder).c_str(), nullptr));
    }
    for (const wchar_t* name : {L"c.Dll", L"sub\\d.dll", L"b.dll", L"notes.txt", L"x.dll.txt",
                                L"A.DLL", L"m.dll\\n.dll", L"sub\\e.txt", L"k.Clap", L".clap"}) {
        folder.WriteFile(name, "abc");
    }
    const std::wstring missing = root + L"\\no-such-folder";

    // A file named itself is taken whatever its name; one found twice counts once.
    Collection found = CollectPluginFiles({{root, kBothFormats},
                                           {root + L"\\B.DLL", kBothFormats},
                                           {missing, kBothFormats},
                                           {root + L"\\notes.txt", kBothFormats}});

    std::vector<std::wstring> shown;
    for (const PluginFile& file : found.files) shown.push_back(file.shownName);
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"A.DLL", L"b.dll", L"c.Dll", L"k.Clap",
                                                L"m.dll\\n.dll", L"sub\\d.dll", L"notes.txt"}));
    ASSERT_EQ(found.files.size(), 7u);
    EXPECT_EQ(found.files[3].format, PluginFormat::kClap);
    EXPECT_EQ(found.files[4].path, root + L"\\m.dll\\n.dll");
    EXPECT_EQ(found.files[4].format, PluginFormat::kVst2);
    EXPECT_EQ(found.files[4].stamp.size, 3u);
    EXPECT_NE(found.files[4].stamp.lastWrite, 0u);
    EXPECT_EQ(found.files[6].format, PluginFormat::kVst2);
    EXPECT_EQ(found.missing,
              std::vector<std::string>{Utf8FromWide(missing) + ": no such file or folder"});
    EXPECT_TRUE(found.unreadable.empty());

    Collection clapOnly = CollectPluginFiles({{root, {PluginFormat::kClap}}});
    ASSERT_EQ(clapOnly.files.size(), 1u);
    EXPECT_EQ(clapOnly.files[0].shownName, L"k.Clap");
}

// A bundle is one plugin, stamped by its module, and never a folder to search.
TEST(PluginFiles, Vst3BundlesAreOnePluginEachStampedByTheirModule) {
    TempFolder folder;
    const std::wstring& root = folder.Path();
    for (const wchar_t* subfolder :
         {L"B.VST3", L"B.VST3\\Contents", L"B.VST3\\Contents\\x86_64-win", L"empty.vst3"}) {
        ASSERT_TRUE(CreateDirectoryW((root + L"\\" + subfolder).c_str(), nullptr));
    }
    folder.WriteFile(L"B.VST3\\Contents\\x86_64-win\\B.VST3", "12345");
    folder.WriteFile(L"B.VST3\\Contents\\x86_64-win\\helper.dll", "abc");
    folder.WriteFile(L"a.vst3", "abc");

    const FormatList kAllFormats = {PluginFormat::kVst2, PluginFormat::kClap, PluginFormat::kVst3};
    Collection found = CollectPluginFiles({{root, kAllFormats}});
    std::vector<std::wstring> shown;
    for (const PluginFile& file : found.files) shown.push_back(file.shownName);
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"a.vst3", L"B.VST3", L"empty.vst3"}));
    ASSERT_EQ(found.files.size(), 3u);
    for (const PluginFile& file : found.files) EXPECT_EQ(file.format, PluginFormat::kVst3);
    EXPECT_EQ(found.files[1].path, root + L"\\B.VST3");
    EXPECT_EQ(found.files[1].stamp.size, 5u);
    EXPECT_NE(found.files[1].stamp.lastWrite, 0u);
    EXPECT_TRUE(found.files[2].stamp == FileStamp());

    EXPECT_TRUE(CollectPluginFiles({{root, {PluginFormat::kVst2}}}).files.empty());
    Collection named = CollectPluginFiles({{root + L"\\B.VST3\\", {PluginFormat::kVst2}}});
    ASSERT_EQ(named.files.size(), 1u);
    EXPECT_EQ(named.files[0].format, PluginFormat::kVst3);
    EXPECT_EQ(named.files[0].stamp.size, 5u);
}

}  // namespace
