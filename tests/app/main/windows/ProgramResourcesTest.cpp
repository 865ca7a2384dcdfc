// What Windows shows of the programs before they run: the version in a
// file's properties (which Windows Installer also compares) and the window
// program's icons, the second of which the link scheme's "Default Icon"
// names.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace nerolin::test {
namespace {

struct ProgramVersion {
    DWORD mostSignificant = 0;
    DWORD leastSignificant = 0;
    std::wstring productVersion;  // the text of the English block
};

ProgramVersion ReadVersion(const std::wstring& path)
{
    ProgramVersion version;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return version;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return version;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed != nullptr &&
        fixed->dwSignature == VS_FFI_SIGNATURE) {
        version.mostSignificant = fixed->dwFileVersionMS;
        version.leastSignificant = fixed->dwFileVersionLS;
    }
    wchar_t* text = nullptr;
    if (VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\ProductVersion", reinterpret_cast<void**>(&text),
                       &length) &&
        text != nullptr && length > 0) {
        version.productVersion.assign(text, length - 1);  // the count holds the NUL
    }
    return version;
}

std::wstring Wide(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

TEST(ProgramResources, BothProgramsCarryTheBuildsVersion)
{
    for (const char* program : {NEROLIN_PROGRAM, NEROLIN_TOOL_PROGRAM}) {
        const ProgramVersion version = ReadVersion(Wide(program));
        EXPECT_EQ(version.mostSignificant, static_cast<DWORD>(NEROLIN_VERSION_MAJOR << 16 | NEROLIN_VERSION_MINOR))
            << program;
        EXPECT_EQ(version.leastSignificant, static_cast<DWORD>(NEROLIN_VERSION_PATCH << 16)) << program;
        EXPECT_EQ(version.productVersion, Wide(NEROLIN_VERSION)) << program;
    }
}

TEST(ProgramResources, TheWindowProgramHasTheIconTheSchemeNames)
{
    const std::wstring program = Wide(NEROLIN_PROGRAM);
    EXPECT_EQ(ExtractIconExW(program.c_str(), -1, nullptr, nullptr, 0), 2u);
    HICON large = nullptr;
    HICON small = nullptr;
    // ",1" of "Default Icon": the second icon, in both sizes.
    ASSERT_EQ(ExtractIconExW(program.c_str(), 1, &large, &small, 1), 2u);
    EXPECT_NE(large, nullptr);
    EXPECT_NE(small, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(large, &info));
    BITMAP bitmap{};
    EXPECT_NE(GetObjectW(info.hbmColor, sizeof bitmap, &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXICON));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(large);
    DestroyIcon(small);
    // The command-line tool shows no window, so it has no icon of its own.
    EXPECT_EQ(ExtractIconExW(Wide(NEROLIN_TOOL_PROGRAM).c_str(), -1, nullptr, nullptr, 0), 0u);
}

}  // namespace
}  // namespace nerolin::test
