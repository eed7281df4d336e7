#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host/Text.h"
#include "support/ScanPluginsSupport.h"
#include "tools/scan-plugins/PluginFiles.h"

namespace {

TEST(PluginFiles, FoldersGiveTheirDllFilesInAStableOrderAndMissingPathsAreNamed) {
    TempFolder folder;
    const std::wstring& root = folder.Path();
    for (const wchar_t* subfolder : {L"sub", L"m.dll"}) {
        ASSERT_TRUE(CreateDirectoryW((root + L"\\" + subfolder).c_str(), nullptr));
    }
    for (const wchar_t* name : {L"c.Dll", L"sub\\d.dll", L"b.dll", L"notes.txt", L"x.dll.txt",
                                L"A.DLL", L"m.dll\\n.dll", L"sub\\e.txt"}) {
        folder.WriteFile(name, "abc");
    }
    const std::wstring missing = root + L"\\no-such-folder";

    // A file named itself is taken whatever its name; one found twice counts once.
    Collection found =
        CollectPluginFiles({root, root + L"\\B.DLL", missing, root + L"\\notes.txt"});

    std::vector<std::wstring> shown;
    for (const PluginFile& file : found.files) shown.push_back(file.shownName);
    EXPECT_EQ(shown, (std::vector<std::wstring>{L"A.DLL", L"b.dll", L"c.Dll", L"m.dll\\n.dll",
                                                L"sub\\d.dll", L"notes.txt"}));
    ASSERT_EQ(found.files.size(), 6u);
    EXPECT_EQ(found.files[3].path, root + L"\\m.dll\\n.dll");
    EXPECT_EQ(found.files[3].stamp.size, 3u);
    EXPECT_NE(found.files[3].stamp.lastWrite, 0u);
    EXPECT_EQ(found.missing,
              std::vector<std::string>{Utf8FromWide(missing) + ": no such file or folder"});
    EXPECT_TRUE(found.unreadable.empty());
}

}  // namespace
