// The version resource that Explorer's properties page shows.
#include "testsupport.h"

#include <string>
#include <vector>

namespace {

std::wstring PluginPath()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + PLUGIN_DLL_NAME_W;
}

std::wstring StringValue(std::vector<BYTE> &data, const wchar_t *name)
{
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t *value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void **>(&value), &length) || !value)
        return L"<missing>";
    return value;
}

}  // namespace

TEST(VersionInfo, FileAndProductVersionAndTexts)
{
    std::wstring path = PluginPath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << Narrow(path);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
    // Version 1.0.3.1, as CMakeLists.txt's project() states it: written out
    // here, not taken from the macros the resource is built from.
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00030001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00030001u);

    EXPECT_WTEXT(L"Sonaro", StringValue(data, L"ProductName"));
    EXPECT_WTEXT(L"Adds an audible ping command to TCC.", StringValue(data, L"FileDescription"));
    EXPECT_WTEXT(L"1.0.3.1", StringValue(data, L"FileVersion"));
    EXPECT_WTEXT(L"1.0.3.1", StringValue(data, L"ProductVersion"));
}
