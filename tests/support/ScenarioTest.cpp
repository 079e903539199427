// The scenario commands of the tests (see ScenarioTest.h) and the stage before and the checks after each one.
#include "support/ScenarioTest.h"

#include <windows.h>

#include <tlhelp32.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "ProcessResources.h"
#include "Scenario.h"
#include "browser/HtmlEscape.h"
#include "core/ComHelper.h"
#include "core/ErrorReport.h"
#include "core/ScopedHandle.h"
#include "core/Text.h"
#include "host/MessagePump.h"
#include "module/Guids.h"
#include "module/ProcessObjects.h"
#include "net/ServiceRequests.h"
#include "net/ServiceUrls.h"
#include "net/WinHttpClient.h"
#include "resources/resource.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "support/TestSupport.h"
#include "workers/MainWorker.h"
#include "workers/NoticeWorker.h"

using scenario::Command;
using scenario::Number;
using scenario::Runner;
using testhost::FakeWebBrowser;

namespace
{
const std::wstring kScripts = L"http://www.quillbury.co.uk/k3tq8w2m/";
std::mutex loggedLock;
std::vector<std::wstring> logged; // the event-log entries of this program's own copy of the add-on's code

// What the running scenario keeps between its commands (one scenario runs at a time).
struct State
{
    size_t requestsSeen = 0;
    size_t navigationsSeen = 0;
    std::map<std::wstring, std::wstring> bound; // the "{name}" values of the patterns
    DWORD threads = 0;                          // of the process before the scenario's tab opened
    ResourceSnapshot mark;
} state;

// "*" any text; "{name}" any text, the same wherever the name comes again.
bool Matches(std::wstring_view pattern, std::wstring_view text, std::map<std::wstring, std::wstring>& bound)
{
    if (pattern.empty())
        return text.empty();
    const size_t close = pattern.find(L'}');
    if (pattern.front() == L'{' && close != std::wstring_view::npos)
    {
        const std::wstring name(pattern.substr(1, close - 1));
        if (const auto found = bound.find(name); found != bound.end())
            return text.starts_with(found->second) &&
                   Matches(pattern.substr(close + 1), text.substr(found->second.size()), bound);
        for (size_t length = 0; length <= text.size(); ++length)
            if (bound[name] = text.substr(0, length); Matches(pattern.substr(close + 1), text.substr(length), bound))
                return true;
        return bound.erase(name), false;
    }
    if (pattern.front() == L'*')
    {
        for (size_t skip = 0; skip <= text.size(); ++skip)
            if (Matches(pattern.substr(1), text.substr(skip), bound))
                return true;
        return false;
    }
    return !text.empty() && text.front() == pattern.front() && Matches(pattern.substr(1), text.substr(1), bound);
}

// The list against the command's patterns, one for one; prints the list when they differ.
bool MatchList(Runner& runner, const std::vector<std::wstring>& seen, const Command& command,
               const std::wstring& prefix = L"")
{
    bool same = seen.size() + 1 == command.size();
    for (size_t index = 0; same && index < seen.size(); ++index)
        same = Matches(command[index + 1].starts_with(L"http") ? command[index + 1] : prefix + command[index + 1],
                       seen[index], state.bound);
    for (size_t index = 0; !same && index < seen.size(); ++index)
        runner.Print(L"  seen: " + seen[index]);
    return same;
}

bool Fail(Runner& runner, const std::wstring& why)
{
    runner.Print(L"  " + why);
    return false;
}

// md5(TEXT) is TEXT's password digest; weekday(N) the weekday N days from today, as the add-on stores it.
std::wstring Value(const std::wstring& text)
{
    if (text.starts_with(L"weekday(") && text.ends_with(L")"))
        return std::to_wstring((std::stoi(TodayToken()) + std::stoi(text.substr(8))) % 7);
    return text.starts_with(L"md5(") && text.ends_with(L")") ? PasswordDigest(text.substr(4, text.size() - 5)) : text;
}

// A file's bytes with "\r", "\n", "\\" and "\xNN" escapes; other characters in the ANSI code page.
std::string Bytes(const std::wstring& text)
{
    std::string bytes;
    for (size_t at = 0; at < text.size(); ++at)
        if (text[at] != L'\\' || at + 1 == text.size())
            bytes += WideToNarrow(std::wstring(1, text[at]));
        else if (text[++at] == L'x' && at + 2 < text.size())
            bytes += static_cast<char>(std::stoi(text.substr(std::exchange(at, at + 2) + 1, 2), nullptr, 16));
        else
            bytes += text[at] == L'r' ? '\r' : text[at] == L'n' ? '\n' : static_cast<char>(text[at]);
    return bytes;
}

DWORD ProcessThreadCount()
{
    const KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    DWORD count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1u : 0u;
    return count;
}

// How many times the text holds the part.
std::wstring Count(const std::wstring& text, const std::wstring& part)
{
    size_t found = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++found;
    return std::to_wstring(found);
}

bool OnPage(Runner& runner, const std::function<void(FakeWebBrowser&)>& work)
{
    return runner.OnHost([&] { return work(runner.Browser()), true; });
}

// Reads (value empty) or writes a value of the shared block: a flag, or one of the texts.
bool SharedValue(const std::wstring& name, std::wstring& value)
{
    SharedBlock& block = Shared();
    const std::pair<const wchar_t*, volatile LONG*> flags[] = {
        {L"noticeDone", &block.noticeDone},    {L"noticeRunning", &block.noticeRunning},
        {L"noticeShown", &block.noticeShown},  {L"mainDone", &block.mainDone},
        {L"mainRunning", &block.mainRunning},  {L"wrongPasswordPending", &block.wrongPasswordPending},
        {L"signedIn", &block.signedIn},        {L"notRegisteredPending", &block.notRegisteredPending},
        {L"verifyNumber", &block.verifyNumber}};
    for (const auto& [flagName, flag] : flags)
        if (name == flagName)
            return value.empty() ? (value = std::to_wstring(*flag), true) : (*flag = std::stol(value), true);
    const auto text = [&value](auto& field)
    { return value.empty() ? (value = LoadSharedText(field), true) : (StoreSharedText(field, value), true); };
    return name == L"approved"  ? text(block.approvedText)
           : name == L"pending" ? text(block.pendingText)
                                : name == L"notice" && text(block.noticeText);
}

// What the tab shows: the page's body HTML ("page"), a button's text ("button18"), where the focus is ("focus": search,
// buttons or content, and only when the band knows, and last told its site, whether it has it), the search box's
// selection ("selection": "FROM TO"), the sinks of the browser's events ("sinks"), whether the login dialog masks the
// password ("masked") and the user agents of the service requests ("agents": "N of M").
bool TabValue(const std::wstring& name, std::wstring& value, Runner& runner)
{
    const HWND toolbar = runner.Toolbar();
    const HWND search = FindWindowExW(toolbar, nullptr, L"Edit", nullptr);
    if (name.starts_with(L"button"))
        value = useractions::ToolbarButtonText(toolbar, std::stoi(name.substr(6)));
    else if (name == L"focus" || name == L"sinks")
        OnPage(runner,
               [&](FakeWebBrowser& browser)
               {
                   const auto& changes = runner.Host().Site().FocusChanges();
                   const bool told =
                       !changes.empty() && changes.back().focused && changes.back().object == browser.Band();
                   ComPtr<IInputObject> input;
                   const bool has = browser.Band() &&
                                    SUCCEEDED(browser.Band()->QueryInterface(IID_IInputObject, input.ReceiveVoid())) &&
                                    input->HasFocusIO() == S_OK;
                   const HWND focus = GetFocus();
                   value = focus == search                          ? L"search"
                           : focus == toolbar                       ? L"buttons"
                           : focus == runner.Host().ContentWindow() ? L"content"
                                                                    : L"elsewhere";
                   if (has != told || has != (focus == search || focus == toolbar))
                       value += L" (the band does not know)";
                   if (name == L"sinks")
                       value = std::to_wstring(browser.ConnectionPoint()->SinkCount());
               });
    else if (name == L"selection")
    {
        DWORD from = 0, to = 0;
        SendMessageW(search, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
        value = std::to_wstring(from) + L" " + std::to_wstring(to);
    }
    else if (name == L"page")
        OnPage(runner,
               [&](FakeWebBrowser& browser) { value = browser.Document() ? browser.Document()->BodyHtml() : L""; });
    else if (name == L"masked")
        value =
            GetWindowLongW(GetDlgItem(useractions::WaitForProcessWindow(L"#32770", L"Quillbury : Login", 10000), 1018),
                           GWL_STYLE) &
                    ES_PASSWORD
                ? L"yes"
                : L"no";
    else if (name == L"agents")
    {
        const std::wstring log = StandinControl(L"log");
        value = Count(log, L"\"Mozilla/4.0\"") + L" of " + Count(log, L"\"url\": \"");
    }
    else
        return false;
    return true;
}

// set / expect STORE NAME=VALUE...: the INI file, the registry key, the shared block or what the tab shows.
bool Assignments(const Command& command, Runner& runner, bool write)
{
    for (size_t index = 2; index < command.size(); ++index)
    {
        const size_t equals = command[index].find(L'=');
        const std::wstring name = command[index].substr(0, equals);
        const std::wstring wanted = Value(command[index].substr(equals + 1));
        std::wstring value = write ? wanted : L"";
        bool known = true;
        if (command[1] == L"ini")
            write ? WriteIniValue(name.c_str(), value) : static_cast<void>(value = ReadIniValue(name.c_str()));
        else if (command[1] == L"reg")
        {
            const RegistryKey key(HKEY_CURRENT_USER, kSettingsKeyPath);
            write ? key.SetString(name.c_str(), value) : static_cast<void>(value = key.ReadString(name.c_str()));
        }
        else
            known = command[1] == L"shared" ? SharedValue(name, value)
                                            : command[1] == L"tab" && !write && TabValue(name, value, runner);
        if (equals == std::wstring::npos || !known || !(write || Matches(wanted, value, state.bound)))
            return Fail(runner, name + L" is \"" + value + L"\"");
    }
    return true;
}

// The popup is first in the body, and its call ran after the whole script library (which this program carries
// as the library does), in JavaScript. With in|out SHOP: it links to that shop, signed in or out, through the
// redirect of one of the last seconds.
bool Popup(const Command& command, Runner& runner)
{
    std::wstring body, url, script;
    OnPage(runner,
           [&](FakeWebBrowser& browser)
           {
               body = browser.Document() ? browser.Document()->BodyHtml() : L"";
               const auto scripts =
                   body.empty() ? std::vector<testhost::ExecutedScript>() : browser.Document()->Scripts();
               script = scripts.empty() ? L"" : scripts.back().language + L":" + scripts.back().code;
               url = browser.Location();
           });
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_POPUP_SCRIPT), MAKEINTRESOURCEW(RT_POPUP_RESOURCE));
    const std::string library(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
                              SizeofResource(nullptr, found));
    const bool voucher = command[1] == L"voucher";
    const bool shown = body.starts_with(voucher ? L"<div id=\"popupvdiv\"" : L"<div id=\"popupdiv\"") &&
                       script == L"JavaScript:" + NarrowToWide(library) +
                                     (voucher ? L"Popup.showModal('popupvdiv');" : L"Popup.show('popupdiv')");
    if (command[1] == L"none" || !shown)
        return (command[1] == L"none" && body.find(L"popup") == std::wstring::npos) ||
               Fail(runner, L"the page: " + body.substr(0, 400));
    const bool signedIn = command.size() > 3 && command[2] == L"in";
    for (std::time_t back = 0; command.size() > 3 && back < 3; ++back)
    {
        const std::time_t then = std::time(nullptr) - back;
        std::tm local{};
        localtime_s(&local, &then);
        if (body.find(EscapeHtml(service_urls::Redirect(
                RequestNonceFor(local), signedIn ? StoredAccount() : ServiceAccount{}, signedIn, command[3], url))) !=
            std::wstring::npos)
            return true;
    }
    return command.size() < 4 || Fail(runner, L"no link to shop " + command[3] + L" in: " + body.substr(0, 600));
}

// What a user or the browser does in the tab, on the tab's thread: open (the helper object, which shows the band;
// "open band": the band alone), close, site-again (the helpers sited once more), band off|on (the browser takes
// the band off its site, as when the user hides the toolbar, or sites and shows it again), key NAME, navigate-result
// HEX (what Navigate answers from now on), frame URL (a frame's own document completes and becomes the page) and moved
// URL LOCATION (a document completes after the browser moved on).
bool Tab(const Command& c, Runner& runner)
{
    HRESULT result = S_OK;
    OnPage(runner,
           [&](FakeWebBrowser& browser)
           {
               BYTE keys[256] = {};
               const std::map<std::wstring, WPARAM> names = {
                   {L"enter", VK_RETURN}, {L"tab", VK_TAB}, {L"shift-tab", VK_TAB}, {L"f6", VK_F6}};
               if (c[0] == L"open")
                   result =
                       c.size() > 1 ? runner.Host().ShowBand(kBandClsid) : browser.CreateHelperObject(kHelperClsid);
               else if (c[0] == L"close")
                   browser.Quit();
               else if (c[0] == L"band" && browser.Band())
               {
                   ComPtr<IObjectWithSite> band;
                   browser.Band()->QueryInterface(IID_IObjectWithSite, band.ReceiveVoid());
                   result = band->SetSite(c[1] == L"off" ? nullptr : static_cast<IOleWindow*>(&runner.Host().Site()));
                   if (c[1] == L"on" && SUCCEEDED(result))
                       result = runner.Host().ShowBand(kBandClsid);
               }
               else if (c[0] == L"site-again")
                   for (const auto& helper : browser.Helpers())
                       helper->SetSite(static_cast<IWebBrowser2*>(&browser));
               else if (c[0] == L"navigate-result")
                   browser.navigateResult = static_cast<HRESULT>(std::stoul(c[1], nullptr, 16));
               else if (c[0] == L"key" && (result = names.contains(c[1]) ? S_OK : E_INVALIDARG) == S_OK)
               {
                   keys[VK_SHIFT] = c[1] == L"shift-tab" ? 0x80 : 0;
                   SetKeyboardState(keys);
                   MSG message{GetFocus(), WM_KEYDOWN, names.at(c[1]), 0, 0, {}};
                   browser.RouteKeyMessage(message);
                   keys[VK_SHIFT] = 0;
                   SetKeyboardState(keys);
                   testhost::PumpMessagesFor(50);
               }
               else if (c[0] == L"frame")
               {
                   const auto page = testhost::FakeDocument::Create(L"<p>Frame</p>");
                   browser.FireDocumentComplete(c[1], browser.CreateFrameBrowser(c[1], page.Get()).Get());
                   browser.SetDocument(page.Get());
               }
               else if (c[0] == L"moved")
               {
                   browser.SetDocument(testhost::FakeDocument::Create(L"<p>Welcome</p>").Get());
                   browser.SetLocation(c[2]);
                   browser.FireDocumentComplete(c[1]);
               }
           });
    return SUCCEEDED(result) && (c[0] != L"open" || runner.Toolbar());
}

// What the toolbar is sent: tick (its timer) and command ID (a menu choice) posted, as the system posts them, so a
// message box or menu they open runs its loop on the tab's thread; type-search TEXT.
bool Toolbar(const Command& c, Runner& runner)
{
    const HWND toolbar = runner.Toolbar();
    if (c[0] == L"type-search")
        return SendMessageW(FindWindowExW(toolbar, nullptr, L"Edit", nullptr), WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(c[1].c_str())) == TRUE;
    PostMessageW(toolbar, c[0] == L"tick" ? WM_TIMER : WM_COMMAND, c[0] == L"tick" ? 1 : Number(c[1]), 0);
    Sleep(300);
    return toolbar != nullptr;
}

bool Answer(const Command& command, Runner& runner)
{
    const std::map<std::wstring, int> buttons = {{L"ok", IDOK}, {L"yes", IDYES}, {L"no", IDNO}, {L"cancel", IDCANCEL}};
    const HWND box = useractions::WaitForProcessWindow(L"#32770", command[1], 15000);
    const std::wstring text = box ? useractions::MessageText(box) : L"";
    runner.Print(box ? L"  says \"" + text + L"\"" : L"  no such box");
    std::map<std::wstring, std::wstring> none;
    if (!box || !buttons.contains(command[2]) || (command.size() > 3 && !Matches(command[3], text, none)))
        return false;
    useractions::PressDialogButton(box, buttons.at(command[2]));
    return useractions::WaitUntilGone(box, 30000);
}

// Sent, so that what follows comes after the dialog's answer to the press; but not waited for past a second,
// since that answer may be a message box the user has to answer first.
bool Press(const Command& command, Runner&)
{
    const HWND dialog = useractions::WaitForProcessWindow(L"#32770", command[1], 10000);
    const auto id = static_cast<int>(Number(command[2]));
    DWORD_PTR answer = 0;
    return dialog && (command[2] == L"close" ? SendMessageTimeoutW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0, 0, 1000, &answer)
                                             : SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                                                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)), 0,
                                                                   1000, &answer)) >= 0;
}

// expect-requests and expect-navigations: what reached the service (below its script folder), or what the tab
// was asked to open (below its home page; flags, a target, post data or headers would show), since the last check.
bool Lists(const Command& command, Runner& runner)
{
    std::vector<std::wstring> seen;
    if (command[0] == L"expect-requests")
    {
        const std::vector<std::wstring> all = StandinRequests(L"");
        seen.assign(all.begin() + static_cast<long>(state.requestsSeen), all.end());
        state.requestsSeen = all.size();
        return MatchList(runner, seen, command, kScripts);
    }
    if (command[0] == L"expect-menu")
    {
        for (const useractions::MenuLine& line : runner.lastMenu)
            seen.push_back(line.text + (line.grayed ? L" (greyed)" : L""));
        return MatchList(runner, seen, command);
    }
    OnPage(runner,
           [&](FakeWebBrowser& browser)
           {
               for (; state.navigationsSeen < browser.Navigations().size(); ++state.navigationsSeen)
               {
                   const testhost::NavigateCall& call = browser.Navigations()[state.navigationsSeen];
                   const bool plain =
                       !call.flags && !call.targetFrame && !call.postData && !call.headers && !call.viaNavigate2;
                   seen.push_back(call.url + (plain ? L"" : L" (with arguments)"));
               }
           });
    return MatchList(runner, seen, command, L"http://www.quillbury.co.uk/");
}

// The tab's thread first finishes what it is doing (the end of a dialog, whose window takes a while to go under
// Wine, and what follows it); a worker's thread is counted from its start, before it raises its running flag.
bool WaitIdle(const Command&, Runner& runner)
{
    runner.OnHost([] { return true; });
    const auto idle = []
    { return Shared().mainRunning == 0 && Shared().noticeRunning == 0 && ProcessThreadCount() <= state.threads; };
    return useractions::Poll(idle, 40000) ||
           Fail(runner, std::to_wstring(ProcessThreadCount()) + L" threads still run");
}

// What the process holds and when the library may go: "resources mark" notes the kernel handles and private
// bytes, "resources back" fails when they grew by more than 2 handles or 8 MiB (what the allocator keeps);
// "expect-held": the library says it may go and COM frees it, yet it stays loaded (a running worker holds it).
bool Library(const Command& command, Runner& runner)
{
    if (command[0] == L"expect-held")
    {
        const HMODULE addon = GetModuleHandleW(L"Quillbury.dll");
        const FARPROC canUnload = addon ? GetProcAddress(addon, "DllCanUnloadNow") : nullptr;
        const bool mayGo =
            canUnload && reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(canUnload))() == S_OK;
        runner.OnHost([] { return CoFreeUnusedLibrariesEx(0 /* no delay */, 0), true; });
        return mayGo && GetModuleHandleW(L"Quillbury.dll") != nullptr;
    }
    const ResourceSnapshot now = TakeResourceSnapshot(false);
    runner.Print(L"  " + Describe(now));
    if (command[1] == L"mark")
        return state.mark = now, true;
    return now.handles <= state.mark.handles + 2 && now.pagefileUsage < state.mark.pagefileUsage + (8u << 20);
}

bool Files(const Command& c, Runner& runner)
{
    const std::wstring path = DataFilePath(c[1]);
    if (c[0] == L"file")
        return c[2].starts_with(L"age=") ? SetLastWriteTime(path, c[2].substr(4)) : WriteFileBytes(path, Bytes(c[2]));
    std::ifstream file(std::filesystem::path(path), std::ios::binary);
    const std::string now = file ? std::string(std::istreambuf_iterator<char>(file), {}) : "<missing>";
    WinHttpClient list(kScripts + L"get_merchant.php?PID=QLBY"); // what the stand-in serves
    const std::string wanted =
        c[2] == L"served" && list.Send(L"GET")
            ? std::string(reinterpret_cast<const char*>(list.ResponseBytes()), list.ReceivedCount())
        : c[2] == L"none" ? "<missing>"
                          : Bytes(c[2]);
    return now == wanted || Fail(runner, L"holds " + NarrowToWide(now.substr(0, 200)));
}

bool WaitRequest(const Command& c, Runner&)
{
    const std::wstring pattern = c[1].starts_with(L"http") ? c[1] : kScripts + c[1];
    const auto found = [&]
    {
        const auto all = StandinRequests(L"");
        return std::any_of(all.begin(), all.end(), [&](auto& url) { return Matches(pattern, url, state.bound); });
    };
    return useractions::Poll(found, 20000);
}

using Handler = bool (*)(const Command&, Runner&);
const struct
{
    const wchar_t* name;
    size_t arguments;
    Handler run;
} kCommands[] = {
    {L"set", 2, [](const Command& c, Runner& r) { return Assignments(c, r, true); }},
    {L"expect", 2, [](const Command& c, Runner& r) { return Assignments(c, r, false); }},
    {L"wait-for", 2,
     [](const Command& c, Runner& r)
     {
         const auto output = std::exchange(r.output, nullptr);
         const bool held = useractions::Poll([&] { return Assignments(c, r, false); }, 20000);
         return r.output = output, held || Assignments(c, r, false);
     }},
    {L"file", 2, &Files},
    {L"expect-file", 2, &Files},
    {L"expect-no-tmp", 0, [](const Command&, Runner&) { return DataFiles(L"*.tmp").empty(); }},
    {L"service", 1,
     [](const Command& c, Runner& r)
     { return StandinControl(c[1]).find(L"\"ok\": true") != std::wstring::npos || Fail(r, L"refused"); }},
    {L"expect-requests", 0, &Lists},
    {L"expect-navigations", 0, &Lists},
    {L"expect-menu", 0, &Lists},
    {L"wait-request", 1, &WaitRequest},
    {L"open", 0, &Tab},
    {L"close", 0, &Tab},
    {L"site-again", 0, &Tab},
    {L"band", 1, &Tab},
    {L"key", 1, &Tab},
    {L"navigate-result", 1, &Tab},
    {L"frame", 1, &Tab},
    {L"moved", 2, &Tab},
    {L"tick", 0, &Toolbar},
    {L"command", 1, &Toolbar},
    {L"type-search", 1, &Toolbar},
    {L"double-click-logo", 0,
     [](const Command&, Runner& r)
     {
         const HWND logo = FindWindowExW(r.Toolbar(), nullptr, L"Button", nullptr);
         for (const UINT message :
              {UINT{WM_LBUTTONDOWN}, UINT{WM_LBUTTONUP}, UINT{WM_LBUTTONDBLCLK}, UINT{WM_LBUTTONUP}})
             PostMessageW(logo, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(5, 5));
         Sleep(300);
         return logo != nullptr;
     }},
    {L"start", 1,
     [](const Command& c, Runner&) { return c[1] == L"main" ? StartMainWorker(0) : StartNoticeWorker(), true; }},
    {L"wait-idle", 0, &WaitIdle},
    {L"answer", 2, &Answer},
    {L"press", 2, &Press},
    {L"expect-popup", 1, &Popup},
    {L"resources", 1, &Library},
    {L"expect-held", 0, &Library},
    // The test run in a second process of this program (another browser process) passes.
    {L"child", 1, [](const Command& c, Runner&) { return RunThisProgramAsChild(c[1], L"child") == 0; }},
};
} // namespace

void ScenarioTest::SetUpTestSuite()
{
    ASSERT_NE(StandinPort(), 0) << "run through tools/standin/with_standin.py";
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
}

void ScenarioTest::SetUp()
{
    // No account or data files, the stand-in as it starts, workers done and the notice shown (else the first tick shows
    // the empty notice); a second process joins the first one's stage.
    if (ChildRole().empty())
    {
        StandinControl(L"reset?log=1");
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
        for (const std::wstring& name : DataFiles(L"*"))
            DeleteFileW(DataFilePath(name).c_str());
        Shared() = SharedBlock{};
        for (volatile LONG* flag : {&Shared().noticeDone, &Shared().noticeShown, &Shared().mainDone})
            *flag = 1;
    }
    SetEventLogWriterForTesting(
        [](DWORD, const std::array<std::wstring, 3>& strings)
        {
            const std::lock_guard guard(loggedLock);
            logged.push_back(strings[1] + L" " + strings[2]);
        });
}

void ScenarioTest::TearDown()
{
    SetEventLogWriterForTesting(nullptr);
    const std::lock_guard guard(loggedLock);
    EXPECT_TRUE(logged.empty()) << testing::PrintToString(logged);
    logged.clear();
}

void ScenarioTest::Run(const std::string& script, bool visible)
{
    std::wstring transcript;
    bool succeeded = false;
    {
        testhost::TestBrowserHost host(testhost::HostOptions{visible, 1000, 300});
        Runner runner(host);
        state = State{};
        state.threads = ProcessThreadCount() + 1; // and the runner's own thread
        for (const auto& command : kCommands)
            runner.Add(command.name, command.arguments, command.run);
        runner.output = [&](const std::wstring& line) { transcript += line + L"\n"; };
        // A window left open by the scenario fails it as much as one left open by its closing.
        succeeded = runner.Run(scenario::ParseScript(scenario::FromUtf8(script)), true) && runner.Leftovers().empty() &&
                    runner.Run({{L"close"}, {L"wait-idle"}}, true) && runner.Leftovers().empty();
    }
    // Every object is gone and no worker runs: COM may unload the library, and the next scenario loads it afresh.
    CoFreeUnusedLibrariesEx(0 /* no delay */, 0);
    if (GetModuleHandleW(L"Quillbury.dll"))
        transcript += L"the library stayed loaded\n", succeeded = false;
    EXPECT_TRUE(succeeded) << scenario::ToUtf8(transcript);
}

void ScenarioTest::RunRows(const std::string& script, const std::vector<std::vector<std::string>>& rows)
{
    for (const std::vector<std::string>& row : rows)
    {
        std::string text;
        for (size_t at = 0; at < script.size(); ++at)
        {
            const size_t end = script.find('}', at);
            const size_t index =
                script[at] == '{' && end < at + 4 ? std::strtoul(script.c_str() + at + 1, nullptr, 10) : 0;
            if (index == 0 || index > row.size())
                text += script[at];
            else
                text += row[index - 1], at = end;
        }
        SCOPED_TRACE(row.front());
        SetUp();
        Run(text);
        if (HasFailure())
            return;
    }
}
