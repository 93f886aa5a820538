// The built program's resources, read out of zintra.exe by the system's
// own loader: the manifest's entries, the icon and the version.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::wstring ProgramPath() {
    std::string path = ZINTRA_PROGRAM;
    // Built on Linux: Wine shows its files under Z:.
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    std::wstring wide;
    for (const char c : path) wide += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return wide;
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        module_ = LoadLibraryExW(ProgramPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module_, nullptr) << "cannot load " << ZINTRA_PROGRAM;
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
    }

    // Types by number (24 manifest, 14 icon group, 3 icon): RT_* are narrow here.
    std::string Resource(WORD type, WORD id) const {
        const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
        if (!found) return std::string();
        const HGLOBAL loaded = LoadResource(module_, found);
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (!data) return std::string();
        return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
    }

    HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, ManifestAsksForDpiAwarenessLongPathsAndCommonControls6) {
    const std::string manifest = Resource(24, 1);
    ASSERT_FALSE(manifest.empty()) << "no manifest as resource 1";
    const char* const entries[] = {
        // Per-monitor v2, per-monitor where v2 is unknown, system-aware before 8.1.
        "<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">"
        "PerMonitorV2, PerMonitor</dpiAwareness>",
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>",
        "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true"
        "</longPathAware>",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        "publicKeyToken=\"6595b64144ccf1df\"",
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>",  // 10 and 11
        "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>",  // 8.1
        "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>",  // 7
        "<requestedExecutionLevel level=\"asInvoker\"",
    };
    std::string flat;  // the attributes may wrap onto the next line
    for (std::size_t i = 0; i < manifest.size(); ++i) {
        if (manifest[i] == '\n' || manifest[i] == '\r') {
            while (i + 1 < manifest.size() && (manifest[i + 1] == ' ' || manifest[i + 1] == '\n'))
                ++i;
            flat += ' ';
        } else {
            flat += manifest[i];
        }
    }
    for (const char* entry : entries)
        EXPECT_NE(flat.find(entry), std::string::npos) << "missing: " << entry << "\n" << manifest;
    // Names go through the wide calls on every system, not a code page.
    EXPECT_EQ(flat.find("activeCodePage"), std::string::npos);
}

TEST_F(ProgramResources, IconAtSeveralSizesAndVersionFromTheProject) {
    // The icon group: 6 bytes of header, then 14 bytes an image.
    const std::string group = Resource(14, 1);
    ASSERT_GE(group.size(), 6u) << "no icon as resource 1";
    WORD count = 0;
    std::memcpy(&count, group.data() + 4, sizeof count);
    ASSERT_EQ(group.size(), 6u + 14u * count);
    std::vector<int> sizes;
    for (WORD i = 0; i < count; ++i) {
        const unsigned char* entry = reinterpret_cast<const unsigned char*>(group.data()) + 6 + 14 * i;
        sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
        WORD id = 0;
        std::memcpy(&id, entry + 12, sizeof id);
        EXPECT_FALSE(Resource(3, id).empty()) << "image " << id;
    }
    for (const int size : {16, 32, 48})
        EXPECT_NE(std::find(sizes.begin(), sizes.end(), size), sizes.end()) << size;
    EXPECT_NE(LoadImageW(module_, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0), nullptr);

    const std::wstring path = ProgramPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(ZINTRA_VERSION_MINOR, ZINTRA_VERSION_MAJOR));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, ZINTRA_VERSION_PATCH));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    const std::wstring version = std::to_wstring(ZINTRA_VERSION_MAJOR) + L"." +
                                 std::to_wstring(ZINTRA_VERSION_MINOR) + L"." +
                                 std::to_wstring(ZINTRA_VERSION_PATCH);
    for (const wchar_t* name : {L"ProductVersion", L"FileVersion"}) {
        wchar_t* text = nullptr;
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        ASSERT_TRUE(VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &length))
            << "no " << name;
        EXPECT_EQ(std::wstring(text), version);
    }
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&product), &length));
    EXPECT_EQ(std::wstring(product), L"Zintra");
}

// The header as the loader reads it: the exe is relocatable anywhere in
// the 64-bit space (ASLR), its data never runs (DEP), and no link time is
// written into it, so two builds of one commit are the same bytes.
TEST(ProgramHeader, AsksForAslrAndDepAndCarriesNoLinkTime) {
    std::ifstream in(ZINTRA_PROGRAM, std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(image.size(), sizeof(IMAGE_DOS_HEADER)) << "cannot read " << ZINTRA_PROGRAM;
    IMAGE_DOS_HEADER dos;
    std::memcpy(&dos, image.data(), sizeof dos);
    ASSERT_EQ(dos.e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_GT(dos.e_lfanew, 0);
    ASSERT_GE(image.size(), static_cast<std::size_t>(dos.e_lfanew) + sizeof(IMAGE_NT_HEADERS64));
    IMAGE_NT_HEADERS64 nt;
    std::memcpy(&nt, image.data() + dos.e_lfanew, sizeof nt);
    ASSERT_EQ(nt.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
    ASSERT_EQ(nt.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);

    const struct {
        WORD flag;
        const char* name;
    } wanted[] = {
        {IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, "DYNAMIC_BASE"},
        {IMAGE_DLLCHARACTERISTICS_NX_COMPAT, "NX_COMPAT"},
        {IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, "HIGH_ENTROPY_VA"},
    };
    for (const auto& w : wanted)
        EXPECT_NE(nt.OptionalHeader.DllCharacteristics & w.flag, 0) << w.name;
    // ASLR moves the image only if it keeps its relocations.
    EXPECT_EQ(nt.FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0);
    EXPECT_GT(nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
    EXPECT_EQ(nt.FileHeader.TimeDateStamp, 0u);
}

}  // namespace
