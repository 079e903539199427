// What the tool's user does with the windows of this process: find them, type into dialogs, press their
// buttons, click toolbar buttons, read menus and button texts, and close what is left open. It runs on a
// thread of its own while the host thread runs the browser and whatever modal dialog or menu the add-on
// opens there, so every action goes through window messages and every wait has a deadline.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace useractions
{

struct MenuLine
{
    UINT id;
    std::wstring text;
    bool grayed;
};

// Checks the condition every 25 ms until it holds or the timeout passed; returns its last value.
bool Poll(const std::function<bool()>& condition, DWORD timeoutMilliseconds);

// A visible top-level window of this process with this window class and, unless the caption is empty, this
// exact caption; null when there is none.
HWND FindProcessWindow(const wchar_t* windowClass, const std::wstring& caption = std::wstring());
HWND WaitForProcessWindow(const wchar_t* windowClass, const std::wstring& caption, DWORD timeoutMilliseconds);
bool WaitUntilGone(HWND window, DWORD timeoutMilliseconds);

// The message text of a message box.
std::wstring MessageText(HWND box);
// Replaces the text of an edit control of the dialog by typing it, one character message at a time.
bool TypeIntoDialog(HWND dialog, int controlId, const std::wstring& text);
// A click on a push button of the dialog, as the button reports it to its dialog.
bool PressDialogButton(HWND dialog, int controlId);
// The mouse pressed and released over the middle of a toolbar button, on the control laid over it if any (the
// handler runs on the host thread).
bool ClickToolbarButton(HWND toolbar, int commandId);
std::wstring ToolbarButtonText(HWND toolbar, int commandId);

// The items of a shown popup menu window (class "#32768"), and the Escape key that closes it.
std::vector<MenuLine> MenuLines(HWND menuWindow);
void CloseMenu(HWND menuWindow);

// Closes the menus and dialogs of this process that are still open (Escape, Cancel, close box) and returns
// one line for each, with the message text of a message box.
std::vector<std::wstring> CloseLeftovers(DWORD timeoutMilliseconds);

} // namespace useractions
