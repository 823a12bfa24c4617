// The resources of the built scout.exe, read back with the platform's own functions.
#include <gtest/gtest.h>

#include "scout_version.h"

#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

extern std::string g_scoutExe;

namespace {

class ScoutExe : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(g_scoutExe.empty()) << "run with --scout-exe=PATH";
        module = LoadLibraryExA(g_scoutExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << g_scoutExe;
    }
    void TearDown() override {
        if (module != nullptr)
            FreeLibrary(module);
    }
    std::string Resource(const char* name, const char* type) {
        const HRSRC found = FindResourceA(module, name, type);
        if (found == nullptr)
            return {};
        const auto* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(data, SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

TEST_F(ScoutExe, VersionBlock) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(g_scoutExe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(g_scoutExe.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010001u);
    EXPECT_EQ(fixed->dwFileVersionLS, 519u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);

    const struct {
        const char* key;
        const char* value;
    } strings[] = {{"FileDescription", "Ethernet Scout Tool (32-bit)"},
                   {"FileVersion", SCOUT_VERSION_TEXT},
                   {"InternalName", "scout"},
                   {"OriginalFilename", "scout.exe"}};
    for (const auto& entry : strings) {
        char* value = nullptr;
        const std::string path = std::string("\\StringFileInfo\\040904E4\\") + entry.key;
        ASSERT_TRUE(VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
            << entry.key;
        EXPECT_STREQ(value, entry.value);
    }
    for (const char* present : {"CompanyName", "LegalCopyright"}) {
        char* value = nullptr;
        const std::string path = std::string("\\StringFileInfo\\040904E4\\") + present;
        EXPECT_TRUE(VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) << present;
    }
    for (const char* absent : {"ProductName", "ProductVersion"}) {
        char* value = nullptr;
        const std::string path = std::string("\\StringFileInfo\\040904E4\\") + absent;
        EXPECT_FALSE(VerQueryValueA(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
            << absent;
    }
}

TEST_F(ScoutExe, ManifestAsksForCommonControlsSixAsInvokerAndNothingElse) {
    const std::string manifest = Resource(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_FALSE(manifest.empty());
    // The shipped build is 32-bit; a 64-bit test build says so in its copy.
    const std::string processor = sizeof(void*) == 4 ? "processorArchitecture=\"X86\"" : "processorArchitecture=\"amd64\"";
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" " + processor),
              std::string::npos)
        << manifest;
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"), std::string::npos);
    EXPECT_NE(manifest.find("<assemblyIdentity version=\"1.0.0.0\" " + processor), std::string::npos);
    for (const char* absent : {"dpiAware", "dpiAwareness", "supportedOS", "compatibility", "longPathAware"})
        EXPECT_EQ(manifest.find(absent), std::string::npos) << absent;
    // Exactly one dependency.
    EXPECT_EQ(manifest.find("<dependency>", manifest.find("<dependency>") + 1), std::string::npos);
}

TEST_F(ScoutExe, IconGroupWithThirteenImages) {
    const std::string group = Resource("FMTID(1)", MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u);
    WORD count = 0;
    std::memcpy(&count, group.data() + 4, 2);
    ASSERT_EQ(count, 13);
    ASSERT_EQ(group.size(), 6u + 14u * count);
    int bySize[4][3] = {};  // 16, 24, 32, 48 at 4, 8 and 32 bits
    int large = 0;
    for (int i = 0; i < count; ++i) {
        const auto* entry = reinterpret_cast<const BYTE*>(group.data() + 6 + 14 * i);
        const int width = entry[0] == 0 ? 256 : entry[0];
        WORD bits = 0;
        std::memcpy(&bits, entry + 6, 2);
        const int sizeIndex = width == 16 ? 0 : width == 24 ? 1 : width == 32 ? 2 : width == 48 ? 3 : -1;
        const int bitIndex = bits == 4 ? 0 : bits == 8 ? 1 : bits == 32 ? 2 : -1;
        if (width == 256 && bits == 32)
            ++large;
        else if (sizeIndex >= 0 && bitIndex >= 0)
            ++bySize[sizeIndex][bitIndex];
        else
            ADD_FAILURE() << "unexpected image " << width << " px " << bits << " bits";
    }
    EXPECT_EQ(large, 1);
    for (auto& sizes : bySize)
        for (int n : sizes)
            EXPECT_EQ(n, 1);
    // The 256-pixel image is stored as PNG.
    const auto* lastEntry = reinterpret_cast<const BYTE*>(group.data() + 6 + 14 * 12);
    WORD id = 0;
    std::memcpy(&id, lastEntry + 12, 2);
    const std::string image = Resource(MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3));  // RT_ICON
    EXPECT_EQ(image.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

TEST_F(ScoutExe, DialogTemplatePresent) {
    EXPECT_FALSE(Resource("MainDialog", MAKEINTRESOURCEA(5)).empty());
}

// This test program carries the same manifest: the common controls it loads are version 6.
TEST(CommonControls, VersionSixIsLoadedAtRunTime) {
    const HMODULE comctl = GetModuleHandleA("comctl32.dll");
    ASSERT_NE(comctl, nullptr);
    char path[MAX_PATH] = {};
    GetModuleFileNameA(comctl, path, sizeof path);
    std::string lower(path);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(lower.find("\\winsxs\\"), std::string::npos) << path;
}

}  // namespace
