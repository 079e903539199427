// qb_testhost.exe: plays the browser for the registered add-on. It creates the host window, creates the
// helper object and shows the band as the browser would (through COM, so the DLL must be registered), then
// runs commands from the command line or a script file and prints what the browser saw: calls on its
// guests, events, navigations and the scripts run in the page.
//
//   qb_testhost [--band-clsid CLSID] [--helper-clsid CLSID] [--no-band] [--no-helper] [--hidden]
//               [--script FILE] [COMMAND...]
//   commands: --visit URL [--body FILE] | --screenshot PATH | --capture PATH | --click-command ID
//             | --wait MS | --quit
// A script file holds the same commands, one per line, with or without the leading "--"; "#" starts a
// comment line.
#include <windows.h>

#include <objbase.h>

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"
#include "host/WindowCapture.h"

using namespace testhost;

namespace
{

constexpr const wchar_t* kBandClsid = L"{4C8E1F27-93B5-4D0A-8E61-2F7A9C3B5D18}";
constexpr const wchar_t* kHelperClsid = L"{B2D74E90-1A6C-4F38-9C25-7E0F3A8B6D41}";
constexpr DWORD kSettleMilliseconds = 300;

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

bool ReadScript(const std::wstring& path, Options& options)
{
    std::wstring text;
    if (!ReadUtf8File(path, text))
        return false;
    std::wistringstream lines(text);
    std::wstring line;
    while (std::getline(lines, line))
    {
        std::wistringstream words(line);
        std::vector<std::wstring> tokens;
        for (std::wstring word; words >> word;)
            tokens.push_back(tokens.empty() && word.rfind(L"--", 0) != 0 ? L"--" + word : word);
        if (!tokens.empty() && tokens.front().rfind(L"--#", 0) != 0)
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

bool RunCommand(const std::vector<std::wstring>& command, TestBrowserHost& host)
{
    const std::wstring& name = command.front();
    const auto argument = [&](std::size_t index) { return index < command.size() ? command[index] : L""; };
    FakeWebBrowser& browser = host.Browser();
    if (name == L"visit" && command.size() >= 2)
    {
        std::wstring body = L"<p>Page at " + command[1] + L"</p>";
        if (argument(2) == L"body" && !ReadUtf8File(argument(3), body))
        {
            Print(L"  cannot read " + argument(3));
            return false;
        }
        browser.Visit(command[1], body);
        PumpMessagesFor(kSettleMilliseconds);
        return true;
    }
    if (name == L"screenshot" && command.size() >= 2)
    {
        PumpMessagesFor(kSettleMilliseconds);
        const bool saved = SaveWindowBitmap(host.FrameWindow(), command[1]);
        Print(saved ? L"  screenshot " + command[1] : L"  screenshot failed: " + command[1]);
        return saved;
    }
    if (name == L"capture" && command.size() >= 2)
    {
        const bool saved = browser.Document() && browser.Document()->WriteCapturedPage(command[1]);
        Print(saved ? L"  page " + command[1] : L"  no page to capture: " + command[1]);
        return saved;
    }
    if (name == L"click-command" && command.size() >= 2 && browser.BandWindow())
    {
        const WORD id = static_cast<WORD>(std::wcstoul(command[1].c_str(), nullptr, 10));
        SendMessageW(browser.BandWindow(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        PumpMessagesFor(kSettleMilliseconds);
        return true;
    }
    if (name == L"wait" && command.size() >= 2)
    {
        PumpMessagesFor(static_cast<DWORD>(std::wcstoul(command[1].c_str(), nullptr, 10)));
        return true;
    }
    if (name == L"quit")
    {
        browser.Quit();
        return true;
    }
    Print(L"  cannot run this command (unknown, missing argument, or no band)");
    return false;
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
        TestBrowserHost host(hostOptions);
        Reporter reporter(host);
        Print(L"start");
        LoadGuests(options, host);
        PumpMessagesFor(kSettleMilliseconds);
        reporter.Report();
        for (const std::vector<std::wstring>& command : options.commands)
        {
            std::wstring line = command.front();
            for (std::size_t index = 1; index < command.size(); ++index)
                line += L" " + command[index];
            Print(line);
            if (!RunCommand(command, host))
                status = 1;
            reporter.Report();
        }
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
