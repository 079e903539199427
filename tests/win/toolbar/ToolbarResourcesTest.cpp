// The toolbar's resources as the system loads them: the fixed menus, the Enter accelerator, the bitmaps and the
// login dialog's template, read back from the module.
#include <windows.h>

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

#include "core/ScopedHandle.h"
#include "module/Module.h"
#include "resources/resource.h"

namespace
{
struct MenuEntry
{
    UINT id;
    std::wstring text;
    bool grayed;
    bool operator==(const MenuEntry&) const = default;
};

void PrintTo(const MenuEntry& entry, std::ostream* out)
{
    *out << entry.id << " " << testing::PrintToString(entry.text) << (entry.grayed ? " grayed" : "");
}

TEST(ToolbarResourcesTest, EachMenuIsOnePopupWithItsItems)
{
    struct Case
    {
        int menu;
        std::vector<MenuEntry> items;
    };
    const Case cases[] = {
        {IDR_MENU_EMPTY, {{ID_EMPTY_ITEM, L"No items to display", false}}},
        {IDR_MENU_NO_OFFERS, {{ID_EMPTY_ITEM, L"No offers to display for this website", true}}},
        {IDR_MENU_NO_VOUCHERS, {{ID_EMPTY_ITEM, L"No vouchers to display for this website", true}}},
        {IDR_MENU_HOT_DEALS,
         {{ID_TOP_PRODUCTS, L"Top Products", false},
          {ID_TOP_VOUCHERS, L"Top Vouchers", false},
          {ID_TOP_CASHBACK, L"Top Cashback", false}}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.menu);
        const MenuHandle menu(LoadMenuW(ModuleInstance(), MAKEINTRESOURCEW(c.menu)));
        ASSERT_TRUE(menu);
        EXPECT_EQ(GetMenuItemCount(menu.Get()), 1);
        const HMENU popup = GetSubMenu(menu.Get(), 0);
        ASSERT_NE(popup, nullptr);
        std::vector<MenuEntry> items;
        for (int n = 0; n < GetMenuItemCount(popup); ++n)
        {
            wchar_t text[128] = {};
            GetMenuStringW(popup, static_cast<UINT>(n), text, 128, MF_BYPOSITION);
            const UINT state = GetMenuState(popup, static_cast<UINT>(n), MF_BYPOSITION);
            items.push_back({GetMenuItemID(popup, n), text, (state & MF_GRAYED) != 0});
        }
        EXPECT_EQ(items, c.items);
    }
}

TEST(ToolbarResourcesTest, EnterIsTheOnlyAccelerator)
{
    const HACCEL table = LoadAcceleratorsW(ModuleInstance(), MAKEINTRESOURCEW(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[4] = {};
    ASSERT_EQ(CopyAcceleratorTableW(table, entries, 4), 1);
    EXPECT_EQ(entries[0].fVirt & (FVIRTKEY | FSHIFT | FCONTROL | FALT), FVIRTKEY);
    EXPECT_EQ(entries[0].key, VK_RETURN);
    EXPECT_EQ(entries[0].cmd, ID_SEARCH_ACCELERATOR);
}

TEST(ToolbarResourcesTest, BitmapsHaveTheirSizesAndTheMaskMatchesTheMagenta)
{
    struct Case
    {
        int id;
        LONG width;
    };
    for (const Case c : {Case{IDB_BUTTONS, 340}, Case{IDB_BUTTONS_MASK, 340}, Case{IDB_LOGO, 100}})
    {
        SCOPED_TRACE(c.id);
        const BitmapHandle bitmap(static_cast<HBITMAP>(
            LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(c.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        ASSERT_TRUE(bitmap);
        BITMAP info{};
        ASSERT_EQ(GetObjectW(bitmap.Get(), sizeof(info), &info), static_cast<int>(sizeof(info)));
        EXPECT_EQ(info.bmWidth, c.width);
        EXPECT_EQ(info.bmHeight, 20);
        EXPECT_EQ(info.bmBitsPixel, 24);
    }

    // Pixel by pixel as the system decodes them: white in the mask exactly where the strip is magenta.
    auto pixels = [](int id)
    {
        const BitmapHandle bitmap(static_cast<HBITMAP>(
            LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        DIBSECTION section{};
        std::vector<unsigned char> bytes;
        if (bitmap && GetObjectW(bitmap.Get(), sizeof(section), &section) == sizeof(section))
        {
            const auto* bits = static_cast<const unsigned char*>(section.dsBm.bmBits);
            bytes.assign(bits, bits + section.dsBm.bmWidthBytes * section.dsBm.bmHeight);
        }
        return bytes;
    };
    const std::vector<unsigned char> image = pixels(IDB_BUTTONS);
    const std::vector<unsigned char> mask = pixels(IDB_BUTTONS_MASK);
    ASSERT_EQ(image.size(), 340u * 3 * 20);
    ASSERT_EQ(mask.size(), image.size());
    size_t transparent = 0;
    for (size_t i = 0; i < image.size(); i += 3)
    {
        const bool magenta = image[i] == 255 && image[i + 1] == 0 && image[i + 2] == 255; // blue, green, red
        const unsigned char expected = magenta ? 255 : 0;
        ASSERT_TRUE(mask[i] == expected && mask[i + 1] == expected && mask[i + 2] == expected) << "byte " << i;
        transparent += magenta ? 1 : 0;
    }
    EXPECT_GT(transparent, 17u * 4) << "every cell's corners show the toolbar through";
}

// DLGTEMPLATEEX as stored in the module, read field by field.
class TemplateReader
{
public:
    explicit TemplateReader(const unsigned char* data) : start(data), at(data) {}

    template <class T> T Read()
    {
        T value;
        std::memcpy(&value, at, sizeof(T));
        at += sizeof(T);
        return value;
    }
    // A name or an ordinal: ordinals of the predefined classes become their names.
    std::wstring ReadNameOrOrdinal()
    {
        const auto first = Read<WORD>();
        if (first == 0xFFFF)
        {
            switch (Read<WORD>())
            {
            case 0x80:
                return L"Button";
            case 0x81:
                return L"Edit";
            case 0x82:
                return L"Static";
            default:
                return L"#ordinal";
            }
        }
        std::wstring text;
        for (WORD c = first; c != 0; c = Read<WORD>())
            text.push_back(static_cast<wchar_t>(c));
        return text;
    }
    void AlignToDword() { at = start + ((at - start + 3) & ~3); }
    void Skip(size_t bytes) { at += bytes; }

private:
    const unsigned char* start;
    const unsigned char* at;
};

struct DialogItem
{
    std::wstring windowClass;
    DWORD id;
    std::wstring text;
    short x, y, cx, cy;
    DWORD style;
};

TEST(ToolbarResourcesTest, TheLoginDialogTemplateHoldsItsLayout)
{
    const HRSRC resource = FindResourceW(ModuleInstance(), MAKEINTRESOURCEW(IDD_LOGIN), MAKEINTRESOURCEW(5));
    ASSERT_NE(resource, nullptr);
    const auto* data = static_cast<const unsigned char*>(LockResource(LoadResource(ModuleInstance(), resource)));
    ASSERT_NE(data, nullptr);
    TemplateReader reader(data);
    EXPECT_EQ(reader.Read<WORD>(), 1);      // dlgVer
    EXPECT_EQ(reader.Read<WORD>(), 0xFFFF); // signature of the extended form
    reader.Read<DWORD>();                   // help id
    EXPECT_EQ(reader.Read<DWORD>(), 0u);    // extended style
    EXPECT_EQ(reader.Read<DWORD>(), static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT |
                                                       DS_FIXEDSYS | DS_CENTER));
    const WORD count = reader.Read<WORD>();
    EXPECT_EQ(reader.Read<short>(), 0);
    EXPECT_EQ(reader.Read<short>(), 0);
    EXPECT_EQ(reader.Read<short>(), 316);
    EXPECT_EQ(reader.Read<short>(), 158);
    EXPECT_EQ(reader.ReadNameOrOrdinal(), L""); // no menu
    EXPECT_EQ(reader.ReadNameOrOrdinal(), L""); // the standard dialog class
    EXPECT_EQ(reader.ReadNameOrOrdinal(), L"Quillbury : Login");
    EXPECT_EQ(reader.Read<WORD>(), 8); // points
    reader.Read<WORD>();               // weight
    reader.Read<BYTE>();               // italic
    reader.Read<BYTE>();               // character set
    EXPECT_EQ(reader.ReadNameOrOrdinal(), L"MS Shell Dlg");

    std::vector<DialogItem> items;
    for (WORD n = 0; n < count; ++n)
    {
        reader.AlignToDword();
        DialogItem item{};
        reader.Read<DWORD>(); // help id
        reader.Read<DWORD>(); // extended style
        item.style = reader.Read<DWORD>();
        item.x = reader.Read<short>();
        item.y = reader.Read<short>();
        item.cx = reader.Read<short>();
        item.cy = reader.Read<short>();
        item.id = reader.Read<DWORD>();
        item.windowClass = reader.ReadNameOrOrdinal();
        item.text = reader.ReadNameOrOrdinal();
        reader.Skip(reader.Read<WORD>()); // creation data
        items.push_back(item);
    }

    constexpr DWORD kNone = 0xFFFFFFFF;
    struct Expected
    {
        const wchar_t* windowClass;
        DWORD id;
        const wchar_t* text;
        short x, y, cx, cy;
        DWORD typeBits; // the low four style bits of a button, or the edit and tab-stop bits
        DWORD styleBits;
    };
    const Expected expected[] = {
        {L"Button", kNone, L"Sign Up", 7, 7, 302, 57, BS_GROUPBOX, 0},
        {L"Static", kNone,
         L"At Quillbury you can save \u00a3\u00a3\u00a3 by starting your online shopping journey with us.", 17, 19, 275,
         8, 0, 0},
        {L"Static", kNone, L"Membership is free and the sign up process will only take a few minutes.", 17, 29, 231, 8,
         0, 0},
        {L"Button", IDC_SIGN_UP, L"Sign Up", 133, 42, 50, 14, BS_PUSHBUTTON, WS_TABSTOP},
        {L"Button", kNone, L"Already Registered?", 7, 68, 302, 64, BS_GROUPBOX, 0},
        {L"Static", kNone, L"Provide your login information below:", 17, 81, 120, 8, 0, 0},
        {L"Static", kNone, L"Email:", 17, 96, 20, 8, 0, 0},
        {L"Edit", IDC_EMAIL, L"", 57, 93, 151, 14, 0, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
        {L"Static", kNone, L"e.g. jane@example.com", 217, 96, 92, 8, 0, 0},
        {L"Static", kNone, L"Password:", 17, 112, 34, 8, 0, 0},
        {L"Edit", IDC_PASSWORD, L"", 57, 109, 151, 14, 0, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD},
        {L"Button", IDOK, L"OK", 205, 137, 50, 14, BS_DEFPUSHBUTTON, WS_TABSTOP},
        {L"Button", IDCANCEL, L"Cancel", 259, 137, 50, 14, BS_PUSHBUTTON, WS_TABSTOP},
    };
    ASSERT_EQ(items.size(), std::size(expected));
    for (size_t n = 0; n < items.size(); ++n)
    {
        SCOPED_TRACE(n);
        const DialogItem& item = items[n];
        const Expected& want = expected[n];
        EXPECT_EQ(item.windowClass, want.windowClass);
        EXPECT_EQ(item.id, want.id);
        EXPECT_EQ(item.text, want.text);
        EXPECT_EQ((std::vector<short>{item.x, item.y, item.cx, item.cy}),
                  (std::vector<short>{want.x, want.y, want.cx, want.cy}));
        EXPECT_EQ(item.style & (WS_CHILD | WS_VISIBLE), static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
        if (item.windowClass == L"Button")
        {
            EXPECT_EQ(item.style & 0xF, want.typeBits);
        }
        EXPECT_EQ(item.style & want.styleBits, want.styleBits);
        if (want.styleBits == 0 && item.windowClass != L"Edit")
        {
            EXPECT_EQ(item.style & WS_TABSTOP, 0u) << "labels and group boxes are not tab stops";
        }
        if (item.id == IDC_EMAIL)
        {
            EXPECT_EQ(item.style & ES_PASSWORD, 0u);
        }
    }
}
} // namespace
