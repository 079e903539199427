// ToolBar: one common-controls toolbar inside the band window, with an owner-drawn logo button and a search
// edit box laid over separator slots, the button images (scaled with the display), one tooltip per button,
// and the messages of three windows turned into nine handlers for the derived class. Every common-controls
// call runs inside the add-on's own activation context. A handler that throws is reported with ShowError
// and never unwinds into the window system.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Errors.h"
#include "core/ScopedHandle.h"

namespace toolbar_detail
{
void DestroyImageList(HIMAGELIST list) noexcept;
} // namespace toolbar_detail
using ImageListHandle = GenericScopedHandle<HIMAGELIST, &toolbar_detail::DestroyImageList>;

// The logo button: its picture, the font of its drop-down arrow ("Webdings", 17 px; only with a drop-down),
// and its size.
struct LogoButtonInfo
{
    FontHandle font;
    HBITMAP bitmap = nullptr; // the process's logo bitmap (LogoBitmap.h), not owned
    int commandId = -1;
    HWND window = nullptr;
    int width = 0;
    int height = 0;
    int hasDropDown = 1;
};

// One button or separator for ToolBar::AddItems: a separator when `style` has BTNS_SEP (`image` is then its
// width in pixels, 0 for the control's default).
struct ToolBarItem
{
    const wchar_t* text;    // null or empty: no text
    const wchar_t* tooltip; // null or empty: no tooltip; kept by pointer, so a literal (static storage)
    int image;
    BYTE style;
};

// Fills the record with bitmap 123 (scaled by the horizontal display factor), command id 1 and no drop-down
// (so no "Webdings" arrow font).
void InitLogoButtonInfo(LogoButtonInfo& info);

class ToolBar
{
public:
    ToolBar(const ToolBar&) = delete;
    ToolBar& operator=(const ToolBar&) = delete;

    [[nodiscard]] HWND Window() const noexcept { return toolbarWindow; }
    [[nodiscard]] HWND ParentWindow() const noexcept { return parentWindow; }
    [[nodiscard]] int BarPadding() const noexcept { return barPadding; }

    // Bitmaps 113 and 115 added to the image list; the index of the first image.
    int LoadButtonImages();
    // Scaled with the display, the image's magenta (transparent) pixels are first painted the button face in
    // the given bitmap.
    int AddImages(HBITMAP image, HBITMAP mask);
    // A separator `width` pixels wide (0: the control's default); its command id.
    int AddSeparator(int width);
    // The items in one go: their texts in one string list and their buttons in one list, so the control lays
    // itself out once rather than once per item. The command id of the first; the others follow.
    int AddItems(const std::vector<ToolBarItem>& items);
    HWND AddEditBox(int width);
    // Takes the record; null adds nothing and returns null.
    HWND SetLogoButton(std::unique_ptr<LogoButtonInfo> info);
    void SetBarPadding(int padding);

protected:
    // Throws wexception<std::invalid_argument> for a null parent, windows_error when a window cannot be
    // made or subclassed.
    ToolBar(HWND parent, int padding, const std::wstring& toolbarName);
    ~ToolBar();

    // Removes the parent's subclass and destroys the windows. A derived class calls it first in its destructor:
    // destroying a window sends it messages (the focus leaving it) that reach the handlers of the derived part.
    void DestroyWindows() noexcept;
    // Expires when the toolbar is destroyed. Taken before a modal loop (a message box, a dialog, a menu): in it
    // the browser may take the band off its site and destroy the toolbar, which the caller must then leave alone.
    [[nodiscard]] std::weak_ptr<const int> Lifetime() const noexcept { return life; }

    virtual void OnSetFocus() = 0;
    virtual void OnKillFocus() = 0;
    virtual bool OnCommand(int commandId) = 0;
    virtual bool OnDropDown(NMTOOLBARW* notification) = 0;
    virtual bool OnMenuCommand(int commandId) = 0;
    virtual bool OnAccelerator(int commandId) = 0;
    virtual bool OnEditChange(HWND window) = 0;
    virtual void OnTimer(UINT_PTR timerId) = 0;
    virtual HBRUSH OnCtlColorEdit(HDC dc, HWND control) = 0;

private:
    static LRESULT CALLBACK ParentSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK ToolbarSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    static LRESULT CALLBACK LogoSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    LRESULT OnParentMessage(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnToolbarMessage(HWND, UINT, WPARAM, LPARAM);
    LRESULT OnLogoMessage(HWND, UINT, WPARAM, LPARAM);
    void DrawLogo(const DRAWITEMSTRUCT& item);
    void Subclass(HWND window, SUBCLASSPROC procedure, int line);
    RECT ItemRect(int commandId) const;
    void AssignIconTitleFont(HWND window, int line);

    const UINT_PTR subclassId;
    HWND toolbarWindow = nullptr;
    HWND parentWindow = nullptr;
    ImageListHandle imageList;
    std::map<int, const wchar_t*> tooltips;
    int nextCommandId = 1;
    int barPadding = 0;
    std::set<HWND> childWindows;
    std::wstring name;
    std::unique_ptr<LogoButtonInfo> logo;
    FontHandle childFont; // of the edit box and the logo button; lives as long as they do
    std::shared_ptr<const int> life = std::make_shared<const int>(0);
};

// Copies `text` into a buffer of `room` characters, cut to room - 1 and terminated.
void CopyTooltip(std::wstring_view text, wchar_t* buffer, int room) noexcept;
