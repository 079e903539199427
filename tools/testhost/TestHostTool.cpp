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
//   --visit URL html TEXT      the same with the body given as text
// A script file holds the same commands, one per line, with or without the leading "--"; "#" starts a
// comment line and "double quotes" keep spaces inside one argument (Scenario.h). Windows still open at the
// end (menus, dialogs, message boxes) are closed and named.
#include <windows.h>

#include <objbase.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Scenario.h"
#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"

using namespace testhost;

namespace
{

constexpr const wchar_t* kBandClsid = L"{4C8E1F27-93B5-4D0A-8E61-2F7A9C3B5D18}";
constexpr const wchar_t* kHelperClsid = L"{B2D74E90-1A6C-4F38-9C25-7E0F3A8B6D41}";
constexpr DWORD kSettleMilliseconds = 300;

void Print(const std::wstring& line)
{
    std::printf("%s\n", scenario::ToUtf8(line).c_str());
    std::fflush(stdout);
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

struct Options
{
    std::wstring bandClsid = kBandClsid;
    std::wstring helperClsid = kHelperClsid;
    bool band = true;
    bool helper = true;
    bool visible = true;
    int width = 900;
    int height = 600;
    std::vector<scenario::Command> commands;
};

// Splits command-line tokens into commands: a command starts at a token beginning with "--"; "--body" and
// "--html" join the "--visit" before them.
void AddTokens(const std::vector<std::wstring>& tokens, Options& options)
{
    for (const std::wstring& token : tokens)
    {
        const bool flag = token.starts_with(L"--");
        const std::wstring word = flag ? token.substr(2) : token;
        if ((flag && word != L"body" && word != L"html") || options.commands.empty())
            options.commands.push_back({word});
        else
            options.commands.back().push_back(word);
    }
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
            options.width = static_cast<int>(scenario::Number(argv[++index], 900));
            options.height = static_cast<int>(scenario::Number(argv[++index], 600));
        }
        else if (argument == L"--script" && hasValue)
        {
            AddTokens(tokens, options);
            tokens.clear();
            std::wstring text;
            if (!scenario::ReadUtf8File(argv[++index], text))
            {
                Print(L"cannot read script " + std::wstring(argv[index]));
                return false;
            }
            for (scenario::Command& command : scenario::ParseScript(text))
                options.commands.push_back(std::move(command));
        }
        else
            tokens.push_back(argument);
    }
    AddTokens(tokens, options);
    return true;
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

        scenario::Runner runner(host);
        runner.output = &Print;
        runner.afterEach = [&](scenario::Runner& self)
        {
            Sleep(kSettleMilliseconds);
            self.OnHost(
                [&]
                {
                    reporter.Report();
                    return true;
                });
        };
        status = runner.Run(options.commands, false) ? 0 : 1;

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
