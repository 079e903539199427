#include "toolbar/ToolBar.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <atomic>
#include <vector>

#include "core/ActivationContext.h"
#include "core/ErrorReport.h"
#include "module/Module.h"
#include "module/ProcessObjects.h"
#include "resources/resource.h"
#include "toolbar/LogoBitmap.h"
#include "toolbar/Theme.h"

namespace
{
// Where in this unit a failing Win32 call raised its error (the event log names them).
constexpr int kCreateToolbarLine = 101;
constexpr int kSubclassLine = 102;
constexpr int kLoadBitmapLine = 103;
constexpr int kImageListLine = 104;
constexpr int kAddImagesLine = 105;
constexpr int kAddButtonLine = 106;
constexpr int kCreateEditLine = 107;
constexpr int kCreateLogoLine = 108;
constexpr int kFontLine = 109;
constexpr SourceLocation kHandlerFailed{L"ToolBar", 111};

[[noreturn]] void RaiseLastError(int line)
{
    throw AtLocation(LastWindowsError(), SourceLocation{L"ToolBar", line});
}

std::atomic<UINT_PTR> instanceCounter{0};

// Hover look of the logo, shared by every toolbar of the process (only touched from window procedures).
std::atomic<int> logoHot{0};
std::atomic<int> logoTracking{0};
std::atomic<int> logoMenuOpen{0};

const DisplayScale& Scale()
{
    return Process().displayScale;
}

int Scaled(int value, float factor)
{
    return static_cast<int>(static_cast<float>(value) * factor);
}

// A copy of the bitmap stretched by the display factors; null when no copy is needed or one cannot be made.
// A mask is stretched without blending: a grey edge would turn opaque and show the image's transparent
// magenta there. An image has that magenta replaced by the button face first (in the bitmap given), so its
// blended edges hold none.
HBITMAP ScaleBitmap(HBITMAP bitmap, bool mask)
{
    const DisplayScale& scale = Scale();
    if (scale.horizontal == 1.0f && scale.vertical == 1.0f)
        return nullptr;
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof(info), &info))
        return nullptr;
    const int width = Scaled(info.bmWidth, scale.horizontal);
    const int height = Scaled(info.bmHeight, scale.vertical);
    const HDC screen = GetDC(nullptr);
    if (!screen)
        return nullptr;
    const HDC source = CreateCompatibleDC(screen);
    const HDC target = CreateCompatibleDC(screen);
    HBITMAP scaled = source && target ? CreateCompatibleBitmap(screen, width, height) : nullptr;
    if (scaled)
    {
        const HGDIOBJ oldSource = SelectObject(source, bitmap);
        const HGDIOBJ oldTarget = SelectObject(target, scaled);
        for (int y = 0; !mask && y < info.bmHeight; ++y)
            for (int x = 0; x < info.bmWidth; ++x)
                if (GetPixel(source, x, y) == RGB(255, 0, 255))
                    SetPixelV(source, x, y, GetSysColor(COLOR_BTNFACE));
        SetStretchBltMode(target, mask ? COLORONCOLOR : HALFTONE);
        SetBrushOrgEx(target, 0, 0, nullptr);
        const BOOL stretched =
            StretchBlt(target, 0, 0, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(source, oldSource);
        SelectObject(target, oldTarget);
        if (!stretched)
        {
            DeleteObject(scaled);
            scaled = nullptr;
        }
    }
    if (source)
        DeleteDC(source);
    if (target)
        DeleteDC(target);
    ReleaseDC(nullptr, screen);
    return scaled;
}

HBITMAP LoadModuleBitmap(int id)
{
    return static_cast<HBITMAP>(
        LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}
} // namespace

void toolbar_detail::DestroyImageList(HIMAGELIST list) noexcept
{
    const ActivationScope scope;
    ImageList_Destroy(list);
}

void CopyTooltip(std::wstring_view text, wchar_t* buffer, int room) noexcept
{
    if (!buffer || room <= 0)
        return;
    const size_t length = std::min(text.size(), static_cast<size_t>(room - 1));
    text.copy(buffer, length);
    buffer[length] = L'\0';
}

void InitLogoButtonInfo(LogoButtonInfo& info)
{
    info.font.Reset();
    info.bitmap = nullptr;
    info.commandId = -1;
    info.hasDropDown = 1;
    info.bitmap = LogoBitmap();
    info.commandId = 1;
    info.hasDropDown = 0;
    BITMAP bitmap{};
    if (info.bitmap && GetObjectW(info.bitmap, sizeof(bitmap), &bitmap))
    {
        // The horizontal factor for both sides, as the logo was always drawn.
        info.width = Scaled(bitmap.bmWidth, Scale().horizontal);
        info.height = Scaled(bitmap.bmHeight, Scale().horizontal);
    }
    // Without a drop-down there is no arrow to draw, so no arrow font is made (one GDI object less per tab).
}

ToolBar::ToolBar(HWND parent, int padding, const std::wstring& toolbarName)
    : subclassId(++instanceCounter), parentWindow(parent), name(toolbarName)
{
    if (!parent)
        throw wexception<std::invalid_argument>(LoadResourceString(IDS_NO_PARENT_WINDOW));
    {
        const ActivationScope scope;
        if (scope.IsActive())
            toolbarWindow = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, 0x4601994D, 0, 0, 0, 0, parent, nullptr,
                                            ModuleInstance(), nullptr);
    }
    if (!toolbarWindow)
        RaiseLastError(kCreateToolbarLine);
    try
    {
        if (padding > 0)
            SetBarPadding(padding);
        SetWindowTextW(toolbarWindow, name.c_str());
        SendMessageW(toolbarWindow, TB_SETEXTENDEDSTYLE, 0,
                     TBSTYLE_EX_DRAWDDARROWS | TBSTYLE_EX_MIXEDBUTTONS | TBSTYLE_EX_HIDECLIPPEDBUTTONS);
        Subclass(parentWindow, ParentSubclassProc, kSubclassLine);
        Subclass(toolbarWindow, ToolbarSubclassProc, kSubclassLine);
        Subclass(toolbarWindow, LogoSubclassProc, kSubclassLine);
        SendMessageW(toolbarWindow, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    }
    catch (...)
    {
        const ActivationScope scope;
        RemoveWindowSubclass(parentWindow, ParentSubclassProc, subclassId);
        DestroyWindow(toolbarWindow);
        throw;
    }
}

ToolBar::~ToolBar()
{
    DestroyWindows();
    logo.reset();
}

void ToolBar::DestroyWindows() noexcept
{
    {
        const ActivationScope scope;
        RemoveWindowSubclass(parentWindow, ParentSubclassProc, subclassId);
    }
    if (toolbarWindow && IsWindow(toolbarWindow))
        DestroyWindow(toolbarWindow); // the edit box and the logo button are its children by now
    toolbarWindow = nullptr;
}

void ToolBar::Subclass(HWND window, SUBCLASSPROC procedure, int line)
{
    BOOL done = FALSE;
    {
        const ActivationScope scope;
        if (scope.IsActive())
            done = SetWindowSubclass(window, procedure, subclassId, reinterpret_cast<DWORD_PTR>(this));
    }
    if (!done)
        RaiseLastError(line);
}

void ToolBar::SetBarPadding(int padding)
{
    TBMETRICS metrics{};
    metrics.cbSize = sizeof(metrics);
    metrics.dwMask = TBMF_BARPAD;
    metrics.cxBarPad = 0;
    metrics.cyBarPad = padding;
    SendMessageW(toolbarWindow, TB_SETMETRICS, 0, reinterpret_cast<LPARAM>(&metrics));
    barPadding = padding;
}

int ToolBar::LoadButtonImages()
{
    const BitmapHandle images(LoadModuleBitmap(IDB_BUTTONS));
    if (!images)
        RaiseLastError(kLoadBitmapLine);
    const BitmapHandle mask(LoadModuleBitmap(IDB_BUTTONS_MASK));
    if (!mask)
        RaiseLastError(kLoadBitmapLine);
    return AddImages(images.Get(), mask.Get());
}

int ToolBar::AddImages(HBITMAP image, HBITMAP mask)
{
    const BitmapHandle scaledImage(ScaleBitmap(image, false));
    BitmapHandle scaledMask;
    if (scaledImage)
        scaledMask.Reset(ScaleBitmap(mask, true));
    const bool scaled = scaledImage.IsValid();
    const ActivationScope scope;
    if (!scope.IsActive())
        RaiseLastError(kImageListLine);
    if (!imageList)
    {
        const int width = scaled ? Scaled(20, Scale().horizontal) : 20;
        const int height = scaled ? Scaled(20, Scale().vertical) : 20;
        imageList.Reset(ImageList_Create(width, height, ILC_MASK | ILC_COLOR24, 15, 15));
        if (!imageList)
            RaiseLastError(kImageListLine);
        SendMessageW(toolbarWindow, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(imageList.Get()));
    }
    const int first = ImageList_Add(imageList.Get(), scaled ? scaledImage.Get() : image,
                                    scaled && scaledMask ? scaledMask.Get() : mask);
    if (first == -1)
        RaiseLastError(kAddImagesLine);
    return first;
}

int ToolBar::AddSeparator(int width)
{
    return AddItems({{nullptr, nullptr, width, BTNS_SEP}});
}

int ToolBar::AddItems(const std::vector<ToolBarItem>& items)
{
    const auto hasText = [](const ToolBarItem& item)
    { return (item.style & BTNS_SEP) == 0 && item.text && *item.text; };
    // The texts as one list ("a\0b\0\0"); the control numbers them from the index it answers.
    std::vector<wchar_t> strings;
    for (const ToolBarItem& item : items)
        if (hasText(item))
            strings.insert(strings.end(), item.text, item.text + wcslen(item.text) + 1);
    INT_PTR nextString = 0;
    if (!strings.empty())
    {
        strings.push_back(L'\0');
        nextString = SendMessageW(toolbarWindow, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(strings.data()));
    }
    const int first = nextCommandId;
    std::vector<TBBUTTON> buttons(items.size());
    for (size_t i = 0; i < items.size(); ++i)
    {
        TBBUTTON& button = buttons[i];
        button.iBitmap = items[i].image;
        button.idCommand = first + static_cast<int>(i);
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = items[i].style;
        button.iString = hasText(items[i]) ? nextString++ : 0;
    }
    if (!SendMessageW(toolbarWindow, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())))
        RaiseLastError(kAddButtonLine);
    nextCommandId = first + static_cast<int>(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        if ((items[i].style & BTNS_SEP) == 0 && items[i].tooltip && *items[i].tooltip)
            tooltips.emplace(first + static_cast<int>(i), items[i].tooltip); // an existing entry is kept
    return first;
}

RECT ToolBar::ItemRect(int commandId) const
{
    RECT rect{};
    SendMessageW(toolbarWindow, TB_GETRECT, static_cast<WPARAM>(commandId), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

void ToolBar::AssignIconTitleFont(HWND window, int line)
{
    if (!childFont)
    {
        LOGFONTW font{};
        if (!SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0))
            RaiseLastError(line);
        childFont.Reset(CreateFontIndirectW(&font));
        if (!childFont)
            RaiseLastError(kFontLine);
    }
    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(childFont.Get()), TRUE);
}

HWND ToolBar::AddEditBox(int width)
{
    const RECT rect = ItemRect(AddSeparator(width));
    HWND edit = nullptr;
    {
        const ActivationScope scope;
        if (scope.IsActive())
            edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", nullptr, 0x50010180, rect.left, rect.top + 1,
                                   rect.right - rect.left, rect.bottom - rect.top - 2, toolbarWindow, nullptr,
                                   ModuleInstance(), nullptr);
    }
    if (!edit)
        RaiseLastError(kCreateEditLine);
    // Made inside the toolbar at once (moving a window there afterwards costs a tab a few milliseconds and
    // pages of memory under Wine). What the box tells its parent reaches the band window all the same: the
    // toolbar hands its children's commands on to its own parent.
    Subclass(edit, ToolbarSubclassProc, kSubclassLine);
    AssignIconTitleFont(edit, kFontLine);
    childWindows.insert(edit);
    return edit;
}

HWND ToolBar::SetLogoButton(std::unique_ptr<LogoButtonInfo> info)
{
    if (!info)
        return nullptr;
    logo = std::move(info);
    RECT rect = ItemRect(AddSeparator(logo->width + (logo->hasDropDown ? 19 : 10)));
    InflateRect(&rect, 0, 1);
    HWND button = nullptr;
    {
        const ActivationScope scope;
        if (scope.IsActive())
            button =
                CreateWindowExW(WS_EX_NOINHERITLAYOUT, L"Button", L"", 0x5001000B, rect.left, rect.top,
                                rect.right - rect.left, rect.bottom, toolbarWindow, nullptr, ModuleInstance(), nullptr);
    }
    if (!button)
        RaiseLastError(kCreateLogoLine);
    Subclass(button, LogoSubclassProc, kSubclassLine);
    AssignIconTitleFont(button, kFontLine);
    childWindows.insert(button);
    logo->window = button;
    return button;
}

// The three subclass procedures: a throwing handler is reported (an error outside the family is logged) and
// the message still gets its default processing; nothing unwinds into the window system.
LRESULT CALLBACK ToolBar::ParentSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                             DWORD_PTR data)
{
    auto* self = reinterpret_cast<ToolBar*>(data);
    try
    {
        return self->OnParentMessage(window, message, wParam, lParam);
    }
    catch (const wexception<std::runtime_error>& error)
    {
        ShowError(error);
    }
    catch (...)
    {
        LogUnexpectedFailure(kHandlerFailed);
    }
    const ActivationScope scope;
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK ToolBar::ToolbarSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                              DWORD_PTR data)
{
    auto* self = reinterpret_cast<ToolBar*>(data);
    try
    {
        return self->OnToolbarMessage(window, message, wParam, lParam);
    }
    catch (const wexception<std::runtime_error>& error)
    {
        ShowError(error);
    }
    catch (...)
    {
        LogUnexpectedFailure(kHandlerFailed);
    }
    const ActivationScope scope;
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK ToolBar::LogoSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR data)
{
    auto* self = reinterpret_cast<ToolBar*>(data);
    try
    {
        return self->OnLogoMessage(window, message, wParam, lParam);
    }
    catch (const wexception<std::runtime_error>& error)
    {
        ShowError(error);
    }
    catch (...)
    {
        LogUnexpectedFailure(kHandlerFailed);
    }
    const ActivationScope scope;
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT ToolBar::OnParentMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto defaultProcessing = [&]
    {
        const ActivationScope scope;
        return DefSubclassProc(window, message, wParam, lParam);
    };
    if (message == WM_NOTIFY)
    {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->hwndFrom == toolbarWindow)
        {
            if (header->code == TBN_GETINFOTIPW)
            {
                auto* tip = reinterpret_cast<NMTBGETINFOTIPW*>(lParam);
                const auto found = tooltips.find(tip->iItem);
                if (found != tooltips.end())
                    CopyTooltip(found->second, tip->pszText, tip->cchTextMax);
                return 0;
            }
            if (header->code == TBN_DROPDOWN)
                return OnDropDown(reinterpret_cast<NMTOOLBARW*>(lParam)) ? TBDDRET_DEFAULT : TBDDRET_NODEFAULT;
        }
    }
    else if (message == WM_COMMAND)
    {
        const auto control = reinterpret_cast<HWND>(lParam);
        if (control && control == toolbarWindow)
        {
            if (OnCommand(static_cast<int>(static_cast<DWORD>(wParam))))
                return 0;
            return defaultProcessing();
        }
        if (control && HIWORD(wParam) == EN_CHANGE && IsWindowVisible(control) && GetParent(control) == toolbarWindow)
        {
            if (OnEditChange(control))
                return 0;
            return defaultProcessing();
        }
        if (control && logo && control == logo->window)
        {
            if (HIWORD(wParam) != BN_CLICKED)
                return defaultProcessing(); // a double-click is a click already counted
            const std::weak_ptr<const int> alive = Lifetime();
            if (logo->hasDropDown)
            {
                logoMenuOpen = 1;
                struct MenuOpenReset
                {
                    ~MenuOpenReset() { logoMenuOpen = 0; }
                } reset;
                OnDropDown(nullptr);
            }
            else
                OnCommand(logo->commandId);
            if (!alive.expired())
                InvalidateRect(logo->window, nullptr, TRUE);
            return 0;
        }
    }
    return defaultProcessing();
}

LRESULT ToolBar::OnToolbarMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto defaultProcessing = [&]
    {
        const ActivationScope scope;
        return DefSubclassProc(window, message, wParam, lParam);
    };
    switch (message)
    {
    case WM_SETFOCUS:
        OnSetFocus();
        break;
    case WM_KILLFOCUS:
        OnKillFocus();
        break;
    case WM_IME_COMPOSITION:
        OnEditChange(window);
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == 1 && OnAccelerator(LOWORD(wParam)))
            return 0;
        if (HIWORD(wParam) == 0 && OnMenuCommand(LOWORD(wParam)))
            return 0;
        break;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        break;
    case WM_CTLCOLOREDIT:
        if (const HBRUSH brush = OnCtlColorEdit(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
            return reinterpret_cast<LRESULT>(brush);
        break;
    case WM_DESTROY:
    {
        const ActivationScope scope;
        RemoveWindowSubclass(window, ToolbarSubclassProc, subclassId);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    default:
        break;
    }
    return defaultProcessing();
}

LRESULT ToolBar::OnLogoMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_DRAWITEM:
    {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item && item->CtlType == ODT_BUTTON && logo && item->hwndItem == logo->window)
            DrawLogo(*item);
        break;
    }
    case WM_MOUSEMOVE:
    {
        if (logoHot)
            break;
        const RECT rect = ItemRect(1);
        const POINT cursor{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (!logoTracking && PtInRect(&rect, cursor))
        {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof(track);
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = window;
            const ActivationScope scope;
            if (_TrackMouseEvent(&track))
                logoTracking = 1;
            logoHot = 1;
            InvalidateRect(window, nullptr, TRUE);
        }
        break;
    }
    case WM_MOUSELEAVE:
        logoTracking = 0;
        logoHot = 0;
        InvalidateRect(window, nullptr, TRUE);
        break;
    case WM_DESTROY:
    {
        const ActivationScope scope;
        RemoveWindowSubclass(window, LogoSubclassProc, subclassId);
        return DefSubclassProc(window, message, wParam, lParam);
    }
    default:
        break;
    }
    const ActivationScope scope;
    return DefSubclassProc(window, message, wParam, lParam);
}

void ToolBar::DrawLogo(const DRAWITEMSTRUCT& item)
{
    const HDC dc = item.hDC;
    RECT rect = item.rcItem;
    int state = (item.itemState & ODS_SELECTED) ? 3 : (logoHot ? 2 : 1);
    if (logoMenuOpen)
        state = 3;

    if (theme::IsAppThemed())
    {
        const HANDLE data = theme::OpenThemeData(item.hwndItem, L"TOOLBAR");
        theme::DrawThemeParentBackground(item.hwndItem, dc, &rect);
        InflateRect(&rect, 0, -1);
        if (data)
        {
            theme::DrawThemeBackground(data, dc, logo->hasDropDown ? 2 : 1, state, &rect);
            theme::CloseThemeData(data);
        }
    }
    else if (state == 3)
        DrawFrameControl(dc, &rect, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED);
    else if (state == 2)
        DrawFrameControl(dc, &rect, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_HOT);
    else
    {
        const BrushHandle face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        FillRect(dc, &rect, face.Get());
    }

    if (logo->hasDropDown)
    {
        RECT arrow{item.rcItem.right - 11, item.rcItem.top + 3, item.rcItem.right - 1, item.rcItem.bottom - 3};
        const HGDIOBJ oldFont = SelectObject(dc, logo->font.Get());
        const int oldMode = SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"6", 1, &arrow, DT_CENTER | DT_VCENTER | DT_INTERNAL);
        SetBkMode(dc, oldMode);
        SelectObject(dc, oldFont);
    }

    RECT client{};
    GetClientRect(item.hwndItem, &client);
    const UINT flags = DST_BITMAP | ((item.itemState & ODS_DISABLED) ? DSS_DISABLED : 0);
    const int height = item.rcItem.bottom - item.rcItem.top;
    DrawLogoBitmap(dc, client.left + 5, item.rcItem.top + (height - logo->height) / 2, logo->width, logo->height,
                   flags);
}
