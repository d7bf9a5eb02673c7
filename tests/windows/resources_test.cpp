// The shipped executable's resources, read back through the platform: strings, menu,
// accelerators, the About box's template and the version block; and both executables' manifest.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "program_path.h"

namespace {

class ShippedResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        module = LoadLibraryExA(ProgramPath("VELTRANO_EXE").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    void SetUp() override { ASSERT_NE(module, nullptr) << ProgramPath("VELTRANO_EXE"); }

    std::string String(UINT id)
    {
        char text[100] = {};
        LoadStringA(module, id, text, sizeof(text));
        return text;
    }

    std::vector<std::uint8_t> Raw(const char* type, int id)
    {
        HRSRC found = FindResourceExA(module, type, MAKEINTRESOURCEA(id), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        if (found == nullptr) {
            return {};
        }
        const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
        return {data, data + SizeofResource(module, found)};
    }

    static HMODULE module;
};
HMODULE ShippedResources::module = nullptr;

TEST_F(ShippedResources, Strings)
{
    EXPECT_EQ(String(103), "Veltrano");
    EXPECT_EQ(String(106), "DMX Converter not found!");
    EXPECT_EQ(String(109), "VELTRANO");
}

TEST_F(ShippedResources, MenuHoldsFileExitAndHelpAbout)
{
    HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(109));
    ASSERT_NE(menu, nullptr);
    char text[64];
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    GetMenuStringA(menu, 0, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "&File");
    GetMenuStringA(menu, 1, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "&Help");

    HMENU file = GetSubMenu(menu, 0);
    ASSERT_EQ(GetMenuItemCount(file), 1);
    GetMenuStringA(file, 0, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "E&xit");
    EXPECT_EQ(GetMenuItemID(file, 0), 105u);

    HMENU help = GetSubMenu(menu, 1);
    ASSERT_EQ(GetMenuItemCount(help), 1);
    GetMenuStringA(help, 0, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "&About ...");
    EXPECT_EQ(GetMenuItemID(help, 0), 104u);
    DestroyMenu(menu);
}

TEST_F(ShippedResources, AcceleratorsAreAltWithTwoCharacterCodes)
{
    // Each entry: flags, key, command, padding; the last entry's flags carry the end mark 0x80.
    const std::vector<std::uint8_t> table = Raw(MAKEINTRESOURCEA(9), 109);  // RT_ACCELERATOR
    const std::vector<std::uint8_t> expected{
        0x10, 0x00, '?', 0x00, 104, 0x00, 0x00, 0x00,  // FALT, "?", 104
        0x90, 0x00, '/', 0x00, 104, 0x00, 0x00, 0x00,  // FALT and the end mark, "/", 104
    };
    EXPECT_EQ(table, expected);

    HACCEL loaded = LoadAcceleratorsA(module, MAKEINTRESOURCEA(109));
    ASSERT_NE(loaded, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(CopyAcceleratorTableA(loaded, entries, 4), 2);
    EXPECT_EQ(entries[0].fVirt, FALT);
    EXPECT_EQ(entries[0].key, '?');
    EXPECT_EQ(entries[0].cmd, 104);
    EXPECT_EQ(entries[1].fVirt, FALT);
    EXPECT_EQ(entries[1].key, '/');
    EXPECT_EQ(entries[1].cmd, 104);
}

// Reads the fields of an extended dialog template in order.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<std::uint8_t>& data) : data_(data) {}
    std::uint16_t Word()
    {
        std::uint16_t w = 0;
        std::memcpy(&w, data_.data() + at_, 2);
        at_ += 2;
        return w;
    }
    std::uint32_t DWord()
    {
        std::uint32_t d = 0;
        std::memcpy(&d, data_.data() + at_, 4);
        at_ += 4;
        return d;
    }
    std::uint8_t Byte() { return data_[at_++]; }
    // A string, or an ordinal written as "#n".
    std::string SzOrOrdinal()
    {
        std::uint16_t first = Word();
        if (first == 0xFFFF) {
            return "#" + std::to_string(Word());
        }
        std::string text;
        for (std::uint16_t c = first; c != 0; c = Word()) {
            text += static_cast<char>(c);
        }
        return text;
    }
    void AlignToDWord() { at_ = (at_ + 3) & ~std::size_t{3}; }

private:
    const std::vector<std::uint8_t>& data_;
    std::size_t at_ = 0;
};

struct DialogItem {
    std::uint32_t helpId, exStyle, style;
    std::int16_t x, y, cx, cy;
    std::int32_t id;
    std::string windowClass, title;
    std::uint16_t extra;
};

TEST_F(ShippedResources, AboutBoxTemplate)
{
    const std::vector<std::uint8_t> data = Raw(MAKEINTRESOURCEA(5), 103);  // RT_DIALOG
    ASSERT_FALSE(data.empty());
    TemplateReader r(data);
    EXPECT_EQ(r.Word(), 1) << "dialog version";
    EXPECT_EQ(r.Word(), 0xFFFF) << "extended template";
    EXPECT_EQ(r.DWord(), 0u) << "help ID";
    EXPECT_EQ(r.DWord(), 0u) << "extended style";
    EXPECT_EQ(r.DWord(), static_cast<std::uint32_t>(WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
    const std::uint16_t items = r.Word();
    EXPECT_EQ(items, 4);
    EXPECT_EQ(static_cast<std::int16_t>(r.Word()), 22);
    EXPECT_EQ(static_cast<std::int16_t>(r.Word()), 17);
    EXPECT_EQ(static_cast<std::int16_t>(r.Word()), 230);
    EXPECT_EQ(static_cast<std::int16_t>(r.Word()), 75);
    EXPECT_EQ(r.SzOrOrdinal(), "") << "no menu";
    EXPECT_EQ(r.SzOrOrdinal(), "") << "the default dialog class";
    EXPECT_EQ(r.SzOrOrdinal(), "About");
    EXPECT_EQ(r.Word(), 8) << "point size";
    EXPECT_EQ(r.Word(), 0) << "weight";
    EXPECT_EQ(r.Byte(), 0) << "italic";
    EXPECT_EQ(r.Byte(), 1) << "character set: DEFAULT_CHARSET";
    EXPECT_EQ(r.SzOrOrdinal(), "System");

    const std::uint32_t childStyle = WS_CHILD | WS_VISIBLE;
    const DialogItem expected[] = {
        {0, 0, childStyle | SS_ICON, 14, 22, 16, 16, 2, "#130", "#107", 0},
        {0, 0, childStyle | SS_LEFT | SS_NOPREFIX | WS_GROUP, 49, 23, 119, 8, -1, "#130", "Veltrano Version 1.0", 0},
        {0, 0, childStyle | SS_LEFT | WS_GROUP, 49, 33, 148, 8, -1, "#130", "", 0},
        {0, 0, childStyle | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 195, 6, 30, 11, IDOK, "#128", "OK", 0},
    };
    for (std::uint16_t i = 0; i < items && i < 4; ++i) {
        SCOPED_TRACE(i);
        r.AlignToDWord();
        DialogItem item{};
        item.helpId = r.DWord();
        item.exStyle = r.DWord();
        item.style = r.DWord();
        item.x = static_cast<std::int16_t>(r.Word());
        item.y = static_cast<std::int16_t>(r.Word());
        item.cx = static_cast<std::int16_t>(r.Word());
        item.cy = static_cast<std::int16_t>(r.Word());
        item.id = static_cast<std::int32_t>(r.DWord());
        item.windowClass = r.SzOrOrdinal();
        item.title = r.SzOrOrdinal();
        item.extra = r.Word();
        EXPECT_EQ(item.helpId, expected[i].helpId);
        EXPECT_EQ(item.exStyle, expected[i].exStyle);
        EXPECT_EQ(item.style, expected[i].style);
        EXPECT_EQ(item.x, expected[i].x);
        EXPECT_EQ(item.y, expected[i].y);
        EXPECT_EQ(item.cx, expected[i].cx);
        EXPECT_EQ(item.cy, expected[i].cy);
        EXPECT_EQ(item.id, expected[i].id);
        // The predefined classes may be written as their atoms or by name.
        const std::string byName = expected[i].windowClass == std::string("#130") ? "STATIC" : "BUTTON";
        EXPECT_TRUE(item.windowClass == expected[i].windowClass || _stricmp(item.windowClass.c_str(), byName.c_str()) == 0)
            << item.windowClass;
        if (i == 2) {
            EXPECT_FALSE(item.title.empty()) << "the maker's notice";
        } else {
            EXPECT_EQ(item.title, expected[i].title);
        }
        EXPECT_EQ(item.extra, 0);
    }
}

TEST_F(ShippedResources, VersionBlock)
{
    const std::string path = ProgramPath("VELTRANO_EXE");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1200);

    auto value = [&](const char* name) -> std::string {
        char* text = nullptr;
        UINT chars = 0;
        const std::string key = std::string("\\StringFileInfo\\040904b0\\") + name;
        if (!VerQueryValueA(block.data(), key.c_str(), reinterpret_cast<void**>(&text), &chars)) {
            return "<missing>";
        }
        return chars == 0 ? std::string() : std::string(text);
    };
    EXPECT_EQ(value("FileDescription"), "Veltrano");
    EXPECT_EQ(value("InternalName"), "Veltrano");
    EXPECT_EQ(value("OriginalFilename"), "Veltrano.exe");
    EXPECT_EQ(value("FileVersion"), "1, 0, 0, 1");
    EXPECT_EQ(value("ProductVersion"), "1, 0, 0, 1");
    for (const char* empty : {"Comments", "LegalTrademarks", "PrivateBuild", "SpecialBuild"}) {
        EXPECT_EQ(value(empty), "") << empty;
    }
    for (const char* ours : {"CompanyName", "ProductName", "LegalCopyright"}) {
        EXPECT_NE(value(ours), "<missing>") << ours;
        EXPECT_NE(value(ours), "") << ours;
    }
}

TEST_F(ShippedResources, IconsHaveTheirImages)
{
    // RT_GROUP_ICON: reserved, type 1, count, then 14-byte entries.
    const std::vector<std::uint8_t> large = Raw(MAKEINTRESOURCEA(14), 107);
    ASSERT_GE(large.size(), 6u + 2 * 14u);
    EXPECT_EQ(large[4], 2) << "two images";
    EXPECT_EQ(large[6], 32) << "32 x 32 first";
    EXPECT_EQ(large[6 + 6], 4) << "in 16 colours";
    EXPECT_EQ(large[6 + 14], 16) << "then 16 x 16";
    EXPECT_EQ(large[6 + 14 + 6], 1) << "in black and white";

    const std::vector<std::uint8_t> small = Raw(MAKEINTRESOURCEA(14), 108);
    ASSERT_GE(small.size(), 6u + 14u);
    EXPECT_EQ(small[4], 1);
    EXPECT_EQ(small[6], 16);
    EXPECT_EQ(small[6 + 6], 4);
}

TEST(ShippedManifest, BothExecutablesRunAsTheInvokerOnWindows7To11WithCommonControls6AndGdiScaling)
{
    for (const char* program : {"VELTRANO_EXE", "VELTRANO_DEMO_EXE"}) {
        HMODULE module = LoadLibraryExA(ProgramPath(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
        ASSERT_NE(found, nullptr) << program;
        const std::string manifest(static_cast<const char*>(LockResource(LoadResource(module, found))),
                                   SizeofResource(module, found));
        for (const char* element : {
                 R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
                 R"(<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>)",  // Windows 7
                 R"(<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>)",  // Windows 8
                 R"(<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>)",  // Windows 8.1
                 R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)",  // Windows 10 and 11
                 R"(name="Microsoft.Windows.Common-Controls" version="6.0.0.0")",
                 R"(publicKeyToken="6595b64144ccf1df")",
                 R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">false</dpiAware>)",
                 R"(<gdiScaling xmlns="http://schemas.microsoft.com/SMI/2017/WindowsSettings">true</gdiScaling>)",
             }) {
            EXPECT_NE(manifest.find(element), std::string::npos) << program << " lacks " << element;
        }
        FreeLibrary(module);
    }
}

}  // namespace
