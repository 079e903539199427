// The scenario runner and the commands every scenario has: what a user does with the browser and the toolbar.
#include "Scenario.h"

#include <atomic>
#include <cwctype>
#include <fstream>
#include <sstream>
#include <thread>

#include "ScreenArea.h"
#include "UserActions.h"
#include "host/MessagePump.h"
#include "host/WindowCapture.h"

namespace scenario
{
namespace
{
constexpr const wchar_t* kMenuClass = L"#32768";
constexpr const wchar_t* kDialogClass = L"#32770";
constexpr const wchar_t* kHostClass = L"QuillburyScenarioHost";
constexpr UINT kRunMessage = WM_APP + 1;
constexpr DWORD kSettleMilliseconds = 300;
constexpr DWORD kMenuTimeout = 20000; // the Offers menu waits for the service's answer
constexpr DWORD kDialogCloseTimeout = 30000;
constexpr DWORD kWindowTimeout = 10000;
constexpr DWORD kTextTimeout = 20000;
constexpr DWORD kPollMilliseconds = 50;

std::wstring Joined(const Command& command, size_t from)
{
    std::wstring text;
    for (size_t index = from; index < command.size(); ++index)
        text += (index > from ? L" " : L"") + command[index];
    return text;
}

std::wstring Argument(const Command& command, size_t index)
{
    return index < command.size() ? command[index] : std::wstring();
}

HWND WaitForDialog(Runner& runner, const std::wstring& caption)
{
    const HWND dialog = useractions::WaitForProcessWindow(kDialogClass, caption, kWindowTimeout);
    if (!dialog)
        runner.Print(L"  no window \"" + caption + L"\" appeared");
    return dialog;
}

bool SaveScreen(Runner& runner, const std::wstring& path)
{
    Sleep(kSettleMilliseconds); // what was just opened or typed gets painted first
    const bool saved = screenarea::SaveScreenArea(screenarea::ProcessWindowsArea(), path);
    runner.Print(saved ? L"  screen " + path : L"  screen screenshot failed: " + path);
    return saved;
}

// Clicks a drop-down button, prints the menu's items, takes a screenshot when asked, closes the menu.
bool DropDown(Runner& runner, int commandId, const std::wstring& screenshot, const std::wstring& expected)
{
    if (!useractions::ClickToolbarButton(runner.Toolbar(), commandId))
    {
        runner.Print(L"  no toolbar button " + std::to_wstring(commandId));
        return false;
    }
    const HWND menu = useractions::WaitForProcessWindow(kMenuClass, std::wstring(), kMenuTimeout);
    if (!menu)
    {
        runner.Print(L"  no menu appeared");
        return false;
    }
    runner.Print(L"  menu:");
    bool found = expected.empty();
    runner.lastMenu = useractions::MenuLines(menu);
    for (const useractions::MenuLine& line : runner.lastMenu)
    {
        runner.Print(L"    " + std::to_wstring(line.id) + L" " + line.text + (line.grayed ? L" (greyed)" : L""));
        found = found || line.text.find(expected) != std::wstring::npos;
    }
    if (!found)
        runner.Print(L"  no item holds \"" + expected + L"\"");
    const bool saved = screenshot.empty() || SaveScreen(runner, screenshot);
    useractions::CloseMenu(menu);
    const bool closed = useractions::WaitUntilGone(menu, kWindowTimeout);
    runner.Print(closed ? L"  menu closed" : L"  the menu stayed open");
    return found && saved && closed;
}
} // namespace

std::wstring FromUtf8(const std::string& bytes)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

std::string ToUtf8(const std::wstring& text)
{
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

bool ReadUtf8File(const std::wstring& path, std::wstring& text)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file)
        return false;
    std::stringstream bytes;
    bytes << file.rdbuf();
    text = FromUtf8(bytes.str());
    return true;
}

DWORD Number(const std::wstring& text, DWORD fallback)
{
    return text.empty() ? fallback : static_cast<DWORD>(std::wcstoul(text.c_str(), nullptr, 10));
}

std::vector<std::wstring> Words(const std::wstring& line)
{
    std::vector<std::wstring> words;
    std::wstring word;
    bool inWord = false;
    bool quoted = false;
    for (const wchar_t letter : line)
    {
        if (letter == L'"')
            quoted = !quoted;
        else if (!quoted && std::iswspace(letter))
        {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
            continue;
        }
        else
            word += letter;
        inWord = true;
    }
    if (inWord)
        words.push_back(word);
    return words;
}

std::vector<Command> ParseScript(const std::wstring& text)
{
    std::vector<Command> commands;
    std::wistringstream lines(text);
    std::wstring line;
    while (std::getline(lines, line))
    {
        Command words = Words(line);
        if (words.empty() || words.front().starts_with(L"#"))
            continue;
        for (std::wstring& word : words)
            if (word.starts_with(L"--"))
                word.erase(0, 2);
        commands.push_back(std::move(words));
    }
    return commands;
}

Runner::Runner(testhost::TestBrowserHost& browserHost) : host(browserHost)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &HostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kHostClass;
    RegisterClassExW(&windowClass);
    hostWindow =
        CreateWindowExW(0, kHostClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    AddStandardCommands();
}

Runner::~Runner()
{
    if (hostWindow)
        DestroyWindow(hostWindow);
}

LRESULT CALLBACK Runner::HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != kRunMessage)
        return DefWindowProcW(window, message, wParam, lParam);
    try
    {
        return (*reinterpret_cast<const std::function<bool()>*>(lParam))() ? 1 : 0;
    }
    catch (...)
    {
        return 0;
    }
}

bool Runner::OnHost(const std::function<bool()>& work)
{
    return hostWindow && SendMessageW(hostWindow, kRunMessage, 0, reinterpret_cast<LPARAM>(&work)) == 1;
}

void Runner::Add(const std::wstring& name, size_t arguments, Handler handler)
{
    handlers[name] = {arguments, std::move(handler)};
}

void Runner::Print(const std::wstring& line)
{
    if (output)
        output(line);
}

HWND Runner::Toolbar()
{
    HWND band = nullptr;
    OnHost(
        [&]
        {
            band = host.Browser().BandWindow();
            return true;
        });
    return band;
}

bool Runner::Run(const std::vector<Command>& commands, bool stopAtFailure)
{
    bool succeeded = true;
    bool finished = false;
    std::atomic<bool> pumped = false;
    std::thread user(
        [&]
        {
            for (const Command& command : commands)
            {
                if (command.front() != L"echo")
                    Print(Joined(command, 0));
                const auto found = handlers.find(command.front());
                bool done = false;
                if (found == handlers.end() || command.size() <= found->second.first)
                    Print(L"  cannot run this command (unknown, or an argument is missing)");
                else
                {
                    try
                    {
                        done = found->second.second(command, *this);
                    }
                    catch (const std::exception& error)
                    {
                        Print(L"  failed: " + FromUtf8(error.what()));
                    }
                }
                if (afterEach)
                    afterEach(*this);
                succeeded = succeeded && done;
                if (!done && stopAtFailure)
                    break;
            }
            leftovers = useractions::CloseLeftovers(kWindowTimeout);
            OnHost([&] { return finished = true; });
            // A window that opened after the check keeps the host thread in its loop: close that one too.
            while (!pumped)
            {
                for (std::wstring& closed : useractions::CloseLeftovers(0))
                    leftovers.push_back(std::move(closed));
                Sleep(kPollMilliseconds);
            }
            for (const std::wstring& closed : leftovers)
                Print(L"  closed the " + closed + L" left open");
        });
    testhost::PumpUntil([&] { return finished; }, INFINITE);
    pumped = true;
    user.join();
    return succeeded;
}

void Runner::AddStandardCommands()
{
    Add(L"visit", 1,
        [](const Command& command, Runner& runner)
        {
            std::wstring body = L"<p>Page at " + command[1] + L"</p>";
            if (Argument(command, 2) == L"html")
                body = Argument(command, 3);
            else if (Argument(command, 2) == L"body" && !ReadUtf8File(Argument(command, 3), body))
            {
                runner.Print(L"  cannot read " + Argument(command, 3));
                return false;
            }
            runner.OnHost([&] { return runner.Browser().Visit(command[1], body) != nullptr; });
            return true;
        });
    Add(L"screenshot", 1,
        [](const Command& command, Runner& runner)
        {
            Sleep(kSettleMilliseconds);
            const bool saved =
                runner.OnHost([&] { return testhost::SaveWindowBitmap(runner.Host().FrameWindow(), command[1]); });
            runner.Print(saved ? L"  screenshot " + command[1] : L"  screenshot failed: " + command[1]);
            return saved;
        });
    Add(L"screenshot-screen", 1, [](const Command& command, Runner& runner) { return SaveScreen(runner, command[1]); });
    Add(L"capture", 1,
        [](const Command& command, Runner& runner)
        {
            const bool saved = runner.OnHost(
                [&]
                { return runner.Browser().Document() && runner.Browser().Document()->WriteCapturedPage(command[1]); });
            runner.Print(saved ? L"  page " + command[1] : L"  no page to capture: " + command[1]);
            return saved;
        });
    Add(L"click-command", 1,
        [](const Command& command, Runner& runner)
        {
            const HWND toolbar = runner.Toolbar();
            const auto id = static_cast<WORD>(Number(command[1]));
            runner.OnHost([&] { return SendMessageW(toolbar, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0) >= 0; });
            Sleep(kSettleMilliseconds);
            return toolbar != nullptr;
        });
    Add(L"click-button", 1,
        [](const Command& command, Runner& runner)
        {
            const bool clicked =
                useractions::ClickToolbarButton(runner.Toolbar(), static_cast<int>(Number(command[1])));
            Sleep(kSettleMilliseconds);
            return clicked;
        });
    Add(L"drop-down", 1,
        [](const Command& command, Runner& runner)
        { return DropDown(runner, static_cast<int>(Number(command[1])), Argument(command, 2), Argument(command, 3)); });
    Add(L"wait-window", 1,
        [](const Command& command, Runner& runner)
        {
            const bool shown = useractions::WaitForProcessWindow(
                                   kDialogClass, command[1], Number(Argument(command, 2), kWindowTimeout)) != nullptr;
            runner.Print(shown ? L"  shown" : L"  not shown");
            return shown;
        });
    Add(L"type-into-dialog", 3,
        [](const Command& command, Runner& runner)
        {
            const HWND dialog = WaitForDialog(runner, command[1]);
            const bool typed =
                dialog && useractions::TypeIntoDialog(dialog, static_cast<int>(Number(command[2])), command[3]);
            runner.Print(typed ? L"  typed " + std::to_wstring(command[3].size()) + L" characters"
                               : L"  cannot type there");
            return typed;
        });
    Add(L"press-dialog", 2,
        [](const Command& command, Runner& runner)
        {
            const HWND dialog = WaitForDialog(runner, command[1]);
            if (!dialog || !useractions::PressDialogButton(dialog, static_cast<int>(Number(command[2]))))
                return false;
            const bool closed = useractions::WaitUntilGone(dialog, kDialogCloseTimeout);
            runner.Print(closed ? L"  dialog closed" : L"  the dialog stayed open");
            return closed;
        });
    Add(L"wait-button-text", 2,
        [](const Command& command, Runner& runner)
        {
            const HWND toolbar = runner.Toolbar();
            std::wstring seen;
            const bool found = useractions::Poll(
                [&]
                {
                    seen = useractions::ToolbarButtonText(toolbar, static_cast<int>(Number(command[1])));
                    return seen.find(command[2]) != std::wstring::npos;
                },
                Number(Argument(command, 3), kTextTimeout));
            runner.Print(L"  button " + command[1] + L" reads \"" + seen + L"\"");
            return found;
        });
    Add(L"echo", 0,
        [](const Command& command, Runner& runner)
        {
            runner.Print(Joined(command, 1));
            return true;
        });
    Add(L"wait", 1,
        [](const Command& command, Runner&)
        {
            Sleep(Number(command[1]));
            return true;
        });
    Add(L"quit", 0,
        [](const Command&, Runner& runner)
        {
            return runner.OnHost(
                [&]
                {
                    runner.Browser().Quit();
                    return true;
                });
        });
}

} // namespace scenario
