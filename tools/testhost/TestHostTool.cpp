// qb_testhost.exe: plays the browser for the registered add-on. It creates the host window, creates the
// helper object and shows the band as the browser would (through COM, so the DLL must be registered), then
// runs commands from the command line or a script file and prints what the browser saw: calls on its
// guests, events, navigations and the scripts run in the page.
//
//   qb_testhost [--band-clsid CLSID] [--helper-clsid CLSID] [--no-band] [--no-helper] [--hidden]
//               [--size WIDTH HEIGHT] [--script FILE] [COMMAND...]
//
// The commands are what a user does, so they run on a thread of their own while this program's main thread
// plays the browser's tab thread: it keeps dispatching messages, also inside the dialogs and menus that the
// add-on opens there. Every command that waits has a deadline.
//   --visit URL [--body FILE]   the tab loads URL with this body (UTF-8 HTML; a line naming URL by default)
//   --screenshot PATH           the browser window's client area (BMP, or PNG for a ".png" path)
//   --screenshot-screen PATH    the screen under the browser window and its dialogs and menus (BMP)
//   --capture PATH              the current page as a user would get it: the body and the scripts run in it
//   --click-command ID          WM_COMMAND ID to the band, waiting for its handling (not for modal commands)
//   --click-button ID           the mouse clicks the toolbar button with command id ID (does not wait)
//   --drop-down ID [PATH [ITEM]]  clicks a drop-down button, waits for its menu, prints the items, takes a
//                               screen screenshot to PATH, closes the menu with Escape; with ITEM, fails
//                               unless an item's text holds it
//   --wait-window CAPTION [MS]  waits until a window with this caption is shown (default 10 s)
//   --type-into-dialog CAPTION ID TEXT   types TEXT into edit control ID of the dialog CAPTION
//   --press-dialog CAPTION ID   presses button ID of the dialog and waits (30 s) until the dialog closes
//   --wait-button-text ID TEXT [MS]      waits until the text of toolbar button ID holds TEXT (default 20 s)
//   --echo TEXT...              prints the text (a script's narration)
//   --wait MS | --quit
// A script file holds the same commands, one per line, with or without the leading "--"; "#" starts a
// comment line and "double quotes" keep spaces inside one argument. Windows still open at the end (menus,
// dialogs, message boxes) are closed and named.
#include <windows.h>

#include <objbase.h>

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cwctype>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ScreenArea.h"
#include "UserActions.h"
#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"
#include "host/WindowCapture.h"

using namespace testhost;

namespace
{

constexpr const wchar_t* kBandClsid = L"{4C8E1F27-93B5-4D0A-8E61-2F7A9C3B5D18}";
constexpr const wchar_t* kHelperClsid = L"{B2D74E90-1A6C-4F38-9C25-7E0F3A8B6D41}";
constexpr const wchar_t* kMenuClass = L"#32768";
constexpr const wchar_t* kDialogClass = L"#32770";
constexpr DWORD kSettleMilliseconds = 300;
constexpr DWORD kMenuTimeout = 20000; // the Offers menu waits for the service's answer
constexpr DWORD kDialogCloseTimeout = 30000;
constexpr DWORD kDefaultWindowTimeout = 10000;
constexpr DWORD kDefaultTextTimeout = 20000;

void Print(const std::wstring& line)
{
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::string::size_type>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
    std::printf("%s\n", bytes.c_str());
    std::fflush(stdout);
}

bool ReadUtf8File(const std::wstring& path, std::wstring& text)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file)
        return false;
    std::stringstream bytes;
    bytes << file.rdbuf();
    const std::string data = bytes.str();
    const int size = MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), nullptr, 0);
    text.assign(static_cast<std::wstring::size_type>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, data.data(), static_cast<int>(data.size()), text.data(), size);
    return true;
}

DWORD Number(const std::wstring& text, DWORD fallback = 0)
{
    return text.empty() ? fallback : static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 10));
}

// Prints what happened since the last call: new log lines of the browser, new scripts of the page.
class Reporter
{
public:
    explicit Reporter(const TestBrowserHost& host) : browser(host.Browser()) {}

    void Report()
    {
        const std::vector<std::wstring>& log = browser.Log();
        for (; printedLines < log.size(); ++printedLines)
            Print(L"  " + log[printedLines]);
        FakeDocument* document = browser.Document();
        if (document != reportedDocument)
        {
            reportedDocument = document;
            printedScripts = 0;
        }
        if (!document)
            return;
        const std::vector<ExecutedScript> scripts = document->Scripts();
        for (; printedScripts < scripts.size(); ++printedScripts)
        {
            const std::wstring& code = scripts[printedScripts].code;
            const std::wstring tail = code.size() > 80 ? L"..." + code.substr(code.size() - 80) : code;
            Print(L"  script " + scripts[printedScripts].language + L" (" + std::to_wstring(code.size()) +
                  L" chars): " + tail);
        }
    }

private:
    FakeWebBrowser& browser;
    std::size_t printedLines = 0;
    FakeDocument* reportedDocument = nullptr;
    std::size_t printedScripts = 0;
};

// Runs work on the thread that created it: the caller sends it to a message-only window there, so it runs
// inside whatever message loop that thread is in (the host's pump, a modal dialog's or a menu's).
class HostThread
{
public:
    HostThread()
    {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &Procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClass;
        RegisterClassExW(&windowClass);
        window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    }
    ~HostThread()
    {
        if (window)
            DestroyWindow(window);
    }
    HostThread(const HostThread&) = delete;
    HostThread& operator=(const HostThread&) = delete;

    // Waits for the work's answer; false when it failed or threw.
    bool Run(const std::function<bool()>& work) const
    {
        return window && SendMessageW(window, kRunMessage, 0, reinterpret_cast<LPARAM>(&work)) == 1;
    }

private:
    static constexpr const wchar_t* kClass = L"QuillburyTestHostCalls";
    static constexpr UINT kRunMessage = WM_APP + 1;

    static LRESULT CALLBACK Procedure(HWND target, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != kRunMessage)
            return DefWindowProcW(target, message, wParam, lParam);
        try
        {
            return (*reinterpret_cast<const std::function<bool()>*>(lParam))() ? 1 : 0;
        }
        catch (...)
        {
            return 0;
        }
    }

    HWND window = nullptr;
};

struct Options
{
    std::wstring bandClsid = kBandClsid;
    std::wstring helperClsid = kHelperClsid;
    bool band = true;
    bool helper = true;
    bool visible = true;
    int width = 900;
    int height = 600;
    std::vector<std::vector<std::wstring>> commands; // each: name without "--", then its arguments
};

std::wstring CommandName(const std::wstring& token)
{
    return token.rfind(L"--", 0) == 0 ? token.substr(2) : token;
}

// Splits tokens into commands: a command starts at a token beginning with "--" (or, in a script line, at
// the line's first word); "--body" joins the "--visit" before it.
void AddTokens(const std::vector<std::wstring>& tokens, Options& options)
{
    for (const std::wstring& token : tokens)
    {
        const bool starts = token.rfind(L"--", 0) == 0 && CommandName(token) != L"body";
        if (starts || options.commands.empty())
            options.commands.push_back({CommandName(token)});
        else
            options.commands.back().push_back(token.rfind(L"--", 0) == 0 ? CommandName(token) : token);
    }
}

// The words of a script line, split at white space; "double quotes" keep a word's spaces (and are dropped).
std::vector<std::wstring> ScriptWords(const std::wstring& line)
{
    std::vector<std::wstring> words;
    std::wstring word;
    bool inWord = false;
    bool quoted = false;
    for (const wchar_t letter : line)
    {
        if (letter == L'"')
        {
            quoted = !quoted;
            inWord = true;
        }
        else if (!quoted && std::iswspace(letter))
        {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        }
        else
        {
            word += letter;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

bool ReadScript(const std::wstring& path, Options& options)
{
    std::wstring text;
    if (!ReadUtf8File(path, text))
        return false;
    std::wistringstream lines(text);
    std::wstring line;
    while (std::getline(lines, line))
    {
        std::vector<std::wstring> tokens = ScriptWords(line);
        if (tokens.empty() || tokens.front().rfind(L"#", 0) == 0)
            continue;
        if (tokens.front().rfind(L"--", 0) != 0)
            tokens.front() = L"--" + tokens.front();
        AddTokens(tokens, options);
    }
    return true;
}

bool ParseArguments(int argc, wchar_t** argv, Options& options)
{
    std::vector<std::wstring> tokens;
    for (int index = 1; index < argc; ++index)
    {
        const std::wstring argument = argv[index];
        const bool hasValue = index + 1 < argc;
        if (argument == L"--band-clsid" && hasValue)
            options.bandClsid = argv[++index];
        else if (argument == L"--helper-clsid" && hasValue)
            options.helperClsid = argv[++index];
        else if (argument == L"--no-band")
            options.band = false;
        else if (argument == L"--no-helper")
            options.helper = false;
        else if (argument == L"--hidden")
            options.visible = false;
        else if (argument == L"--size" && index + 2 < argc)
        {
            options.width = static_cast<int>(Number(argv[++index], 900));
            options.height = static_cast<int>(Number(argv[++index], 600));
        }
        else if (argument == L"--script" && hasValue)
        {
            AddTokens(tokens, options);
            tokens.clear();
            if (!ReadScript(argv[++index], options))
            {
                Print(L"cannot read script " + std::wstring(argv[index]));
                return false;
            }
        }
        else
            tokens.push_back(argument);
    }
    AddTokens(tokens, options);
    return true;
}

// What the commands work with. Only hostThread.Run may touch the host and the browser.
struct Session
{
    TestBrowserHost& host;
    Reporter& reporter;
    const HostThread& hostThread;
    HWND toolbar; // the band's window
};

bool SaveScreen(const std::wstring& path)
{
    Sleep(kSettleMilliseconds); // what was just opened or typed gets painted first
    const bool saved = screenarea::SaveScreenArea(screenarea::ProcessWindowsArea(), path);
    Print(saved ? L"  screen " + path : L"  screen screenshot failed: " + path);
    return saved;
}

HWND WaitForDialog(const std::wstring& caption)
{
    const HWND dialog = useractions::WaitForProcessWindow(kDialogClass, caption, kDefaultWindowTimeout);
    if (!dialog)
        Print(L"  no window \"" + caption + L"\" appeared");
    return dialog;
}

bool DropDown(const Session& session, int commandId, const std::wstring& screenshot, const std::wstring& expected)
{
    if (!useractions::ClickToolbarButton(session.toolbar, commandId))
    {
        Print(L"  no toolbar button " + std::to_wstring(commandId));
        return false;
    }
    const HWND menu = useractions::WaitForProcessWindow(kMenuClass, std::wstring(), kMenuTimeout);
    if (!menu)
    {
        Print(L"  no menu appeared");
        return false;
    }
    Print(L"  menu:");
    bool found = expected.empty();
    for (const useractions::MenuLine& line : useractions::MenuLines(menu))
    {
        Print(L"    " + std::to_wstring(line.id) + L" " + line.text + (line.grayed ? L" (greyed)" : L""));
        found = found || line.text.find(expected) != std::wstring::npos;
    }
    if (!found)
        Print(L"  no item holds \"" + expected + L"\"");
    const bool saved = screenshot.empty() || SaveScreen(screenshot);
    useractions::CloseMenu(menu);
    const bool closed = useractions::WaitUntilGone(menu, kDefaultWindowTimeout);
    Print(closed ? L"  menu closed" : L"  the menu stayed open");
    return found && saved && closed;
}

bool WaitForButtonText(const Session& session, int commandId, const std::wstring& text, DWORD timeout)
{
    std::wstring seen;
    const bool found = useractions::Poll(
        [&]
        {
            seen = useractions::ToolbarButtonText(session.toolbar, commandId);
            return seen.find(text) != std::wstring::npos;
        },
        timeout);
    Print(L"  button " + std::to_wstring(commandId) + L" reads \"" + seen + L"\"");
    return found;
}

// Runs one command on the user's thread.
bool RunCommand(const std::vector<std::wstring>& command, const Session& session)
{
    const std::wstring& name = command.front();
    const auto argument = [&](std::size_t index) { return index < command.size() ? command[index] : L""; };
    FakeWebBrowser& browser = session.host.Browser();
    if (name == L"visit" && command.size() >= 2)
    {
        std::wstring body = L"<p>Page at " + command[1] + L"</p>";
        if (argument(2) == L"body" && !ReadUtf8File(argument(3), body))
        {
            Print(L"  cannot read " + argument(3));
            return false;
        }
        session.hostThread.Run([&] { return browser.Visit(command[1], body) != nullptr; });
        Sleep(kSettleMilliseconds);
        return true;
    }
    if (name == L"screenshot" && command.size() >= 2)
    {
        Sleep(kSettleMilliseconds);
        const bool saved =
            session.hostThread.Run([&] { return SaveWindowBitmap(session.host.FrameWindow(), command[1]); });
        Print(saved ? L"  screenshot " + command[1] : L"  screenshot failed: " + command[1]);
        return saved;
    }
    if (name == L"screenshot-screen" && command.size() >= 2)
        return SaveScreen(command[1]);
    if (name == L"capture" && command.size() >= 2)
    {
        const bool saved = session.hostThread.Run(
            [&] { return browser.Document() && browser.Document()->WriteCapturedPage(command[1]); });
        Print(saved ? L"  page " + command[1] : L"  no page to capture: " + command[1]);
        return saved;
    }
    if (name == L"click-command" && command.size() >= 2 && session.toolbar)
    {
        const auto id = static_cast<WORD>(Number(command[1]));
        session.hostThread.Run(
            [&]
            {
                SendMessageW(session.toolbar, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
                return true;
            });
        Sleep(kSettleMilliseconds);
        return true;
    }
    if (name == L"click-button" && command.size() >= 2 && session.toolbar)
    {
        const bool clicked = useractions::ClickToolbarButton(session.toolbar, static_cast<int>(Number(command[1])));
        Sleep(kSettleMilliseconds);
        return clicked;
    }
    if (name == L"drop-down" && command.size() >= 2 && session.toolbar)
        return DropDown(session, static_cast<int>(Number(command[1])), argument(2), argument(3));
    if (name == L"wait-window" && command.size() >= 2)
    {
        const DWORD timeout = Number(argument(2), kDefaultWindowTimeout);
        const bool shown = useractions::WaitForProcessWindow(kDialogClass, command[1], timeout) != nullptr;
        Print(shown ? L"  shown" : L"  not shown");
        return shown;
    }
    if (name == L"type-into-dialog" && command.size() >= 4)
    {
        const HWND dialog = WaitForDialog(command[1]);
        const bool typed =
            dialog && useractions::TypeIntoDialog(dialog, static_cast<int>(Number(command[2])), command[3]);
        Print(typed ? L"  typed " + std::to_wstring(command[3].size()) + L" characters" : L"  cannot type there");
        return typed;
    }
    if (name == L"press-dialog" && command.size() >= 3)
    {
        const HWND dialog = WaitForDialog(command[1]);
        if (!dialog || !useractions::PressDialogButton(dialog, static_cast<int>(Number(command[2]))))
            return false;
        const bool closed = useractions::WaitUntilGone(dialog, kDialogCloseTimeout);
        Print(closed ? L"  dialog closed" : L"  the dialog stayed open");
        return closed;
    }
    if (name == L"wait-button-text" && command.size() >= 3 && session.toolbar)
        return WaitForButtonText(session, static_cast<int>(Number(command[1])), command[2],
                                 Number(argument(3), kDefaultTextTimeout));
    if (name == L"echo")
    {
        std::wstring text;
        for (std::size_t index = 1; index < command.size(); ++index)
            text += (index > 1 ? L" " : L"") + command[index];
        Print(text);
        return true;
    }
    if (name == L"wait" && command.size() >= 2)
    {
        Sleep(Number(command[1]));
        return true;
    }
    if (name == L"quit")
        return session.hostThread.Run(
            [&]
            {
                browser.Quit();
                return true;
            });
    Print(L"  cannot run this command (unknown, missing argument, or no band)");
    return false;
}

// The user's thread: every command in order, what the browser saw after each, then whatever is still open
// closed. Returns the program's status.
int RunCommands(const Options& options, const Session& session)
{
    int status = 0;
    const auto report = [&]
    {
        session.hostThread.Run(
            [&]
            {
                session.reporter.Report();
                return true;
            });
    };
    for (const std::vector<std::wstring>& command : options.commands)
    {
        std::wstring line = command.front();
        for (std::size_t index = 1; index < command.size(); ++index)
            line += L" " + command[index];
        if (command.front() != L"echo")
            Print(line);
        if (!RunCommand(command, session))
            status = 1;
        report();
    }
    for (const std::wstring& closed : useractions::CloseLeftovers(kDefaultWindowTimeout))
        Print(L"  closed the " + closed + L" left open");
    report();
    return status;
}

void LoadGuests(const Options& options, TestBrowserHost& host)
{
    CLSID clsid;
    if (options.helper && SUCCEEDED(CLSIDFromString(options.helperClsid.c_str(), &clsid)))
        host.Browser().CreateHelperObject(clsid);
    // The helper object normally shows the band itself; without it the browser is asked directly.
    if (options.band && !host.Browser().Band() && SUCCEEDED(CLSIDFromString(options.bandClsid.c_str(), &clsid)))
        host.ShowBand(clsid);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseArguments(argc, argv, options))
        return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 3;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    int status = 0;
    try
    {
        HostOptions hostOptions;
        hostOptions.visible = options.visible;
        hostOptions.width = options.width;
        hostOptions.height = options.height;
        TestBrowserHost host(hostOptions);
        Reporter reporter(host);
        Print(L"start");
        LoadGuests(options, host);
        PumpMessagesFor(kSettleMilliseconds);
        reporter.Report();

        const HostThread hostThread;
        const Session session{host, reporter, hostThread, host.Browser().BandWindow()};
        std::atomic<bool> finished{false};
        std::thread user(
            [&]
            {
                try
                {
                    status = RunCommands(options, session);
                }
                catch (...)
                {
                    Print(L"error: a command failed unexpectedly");
                    status = 4;
                }
                finished = true;
            });
        // The tab thread's message loop, until the user is done.
        PumpUntil([&] { return finished.load(); }, INFINITE);
        user.join();

        host.Browser().Quit();
        reporter.Report();
        Print(L"end");
    }
    catch (const std::exception& error)
    {
        std::printf("error: %s\n", error.what());
        status = 4;
    }
    CoUninitialize();
    return status;
}
