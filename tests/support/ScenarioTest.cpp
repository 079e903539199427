// The scenario commands of the tests (see ScenarioTest.h) and the stage before and the checks after each one.
#include "support/ScenarioTest.h"

#include <windows.h>

#include <map>
#include <mutex>

#include "ProcessResources.h"
#include "Scenario.h"
#include "browser/HtmlEscape.h"
#include "core/ErrorReport.h"
#include "core/Text.h"
#include "host/MessagePump.h"
#include "module/Guids.h"
#include "module/ProcessObjects.h"
#include "net/ServiceRequests.h"
#include "net/ServiceUrls.h"
#include "resources/resource.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "support/AddonRegistration.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "workers/MainWorker.h"
#include "workers/NoticeWorker.h"

using scenario::Command;
using scenario::Runner;
using testhost::FakeDocument;

namespace
{
const std::wstring kScripts = L"http://www.quillbury.co.uk/k3tq8w2m/";

std::mutex loggedLock;
std::vector<std::wstring> logged; // "unit line" of each event-log entry of the test program's own code

void RecordLogged(DWORD, const std::array<std::wstring, 3>& strings)
{
    const std::lock_guard guard(loggedLock);
    logged.push_back(strings[1] + L" " + strings[2]);
}

// What the running scenario keeps between its commands (one scenario runs at a time).
struct State
{
    size_t requestsSeen = 0;
    size_t navigationsSeen = 0;
    std::map<std::wstring, std::wstring> bound; // the "{name}" values of the patterns
    DWORD threads = 0;                          // of the process before the scenario's tab opened
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
        {
            bound[name] = std::wstring(text.substr(0, length));
            if (Matches(pattern.substr(close + 1), text.substr(length), bound))
                return true;
        }
        bound.erase(name);
        return false;
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
               const std::wstring& prefix)
{
    bool same = seen.size() + 1 == command.size();
    for (size_t index = 0; same && index < seen.size(); ++index)
        same = Matches(command[index + 1].starts_with(L"http") ? command[index + 1] : prefix + command[index + 1],
                       seen[index], state.bound);
    for (size_t index = 0; !same && index < seen.size(); ++index)
        runner.Print(L"  seen: " + seen[index]);
    return same;
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

// A value of a store as text: "ini" and "reg" keys, or the shared block's flags and texts.
std::wstring* SharedText(const std::wstring& name, std::wstring& value)
{
    SharedBlock& block = Shared();
    const std::pair<const wchar_t*, volatile LONG*> flags[] = {{L"noticeDone", &block.noticeDone},
                                                               {L"noticeRunning", &block.noticeRunning},
                                                               {L"noticeShown", &block.noticeShown},
                                                               {L"mainDone", &block.mainDone},
                                                               {L"mainRunning", &block.mainRunning},
                                                               {L"wrongPasswordPending", &block.wrongPasswordPending},
                                                               {L"notRegisteredPending", &block.notRegisteredPending},
                                                               {L"signedIn", &block.signedIn},
                                                               {L"verifyNumber", &block.verifyNumber}};
    for (const auto& [flagName, flag] : flags)
        if (name == flagName)
            return value.empty() ? (value = std::to_wstring(*flag), &value) : (*flag = std::stol(value), &value);
    std::pair<const wchar_t*, wchar_t*> texts[] = {
        {L"approved", block.approvedText}, {L"pending", block.pendingText}, {L"notice", block.noticeText}};
    for (const auto& [textName, field] : texts)
        if (name == textName)
        {
            const size_t size = field == block.noticeText ? 255 : 25;
            if (value.empty())
                value.assign(field, std::find(field, field + size, L'\0'));
            else
                std::fill(std::copy_n(value.begin(), std::min(value.size(), size - 1), field), field + size, L'\0');
            return &value;
        }
    return nullptr;
}

bool ReadOrWrite(const std::wstring& store, const std::wstring& name, std::wstring& value, bool write)
{
    if (store == L"ini")
        write ? WriteIniValue(name.c_str(), value) : static_cast<void>(value = ReadIniValue(name.c_str()));
    else if (store == L"reg")
    {
        const RegistryKey key(HKEY_CURRENT_USER, kSettingsKeyPath);
        write ? key.SetString(name.c_str(), value) : static_cast<void>(value = key.ReadString(name.c_str()));
    }
    else
        return store == L"shared" && SharedText(name, value);
    return true;
}

bool Assignments(const Command& command, Runner& runner, bool write)
{
    for (size_t index = 2; index < command.size(); ++index)
    {
        const size_t equals = command[index].find(L'=');
        const std::wstring name = command[index].substr(0, equals);
        const std::wstring wanted = Value(command[index].substr(equals + 1));
        std::wstring value = write ? wanted : L"";
        if (equals == std::wstring::npos || !ReadOrWrite(command[1], name, value, write) ||
            !(write ? value == wanted : Matches(wanted, value, state.bound)))
            return runner.Print(L"  " + name + L" is \"" + value + L"\""), false;
    }
    return true;
}

bool OnPage(Runner& runner, const std::function<void(testhost::FakeWebBrowser&)>& work)
{
    return runner.OnHost([&] { return work(runner.Browser()), true; });
}

// The popup script library, which this program carries as the library does.
std::wstring PopupLibrary()
{
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_POPUP_SCRIPT), MAKEINTRESOURCEW(RT_POPUP_RESOURCE));
    return NarrowToWide(
        {static_cast<const char*>(LockResource(LoadResource(nullptr, found))), SizeofResource(nullptr, found)});
}

// The popup is first in the body, and its call ran after the whole script library, in JavaScript.
bool Popup(const Command& command, Runner& runner)
{
    std::wstring body, url, script;
    OnPage(runner,
           [&](testhost::FakeWebBrowser& browser)
           {
               body = browser.Document() ? browser.Document()->BodyHtml() : L"";
               const auto scripts =
                   browser.Document() ? browser.Document()->Scripts() : std::vector<testhost::ExecutedScript>();
               script = scripts.empty() ? L"" : scripts.back().language + L":" + scripts.back().code;
               url = browser.Location();
           });
    const bool voucher = command[1] == L"voucher";
    const bool shown = body.starts_with(voucher ? L"<div id=\"popupvdiv\"" : L"<div id=\"popupdiv\"") &&
                       script == L"JavaScript:" + PopupLibrary() +
                                     (voucher ? L"Popup.showModal('popupvdiv');" : L"Popup.show('popupdiv')");
    // "none": nothing of a popup in the page; otherwise it must have been shown as above.
    if (command[1] == L"none" || !shown)
        return (command[1] == L"none" && body.find(L"popup") == std::wstring::npos) ||
               (runner.Print(L"  the page: " + body.substr(0, 400)), false);
    if (command.size() < 4)
        return true;
    // The redirect link of one of the last seconds, as the page's HTML carries it.
    const bool signedIn = command[2] == L"in";
    for (int back = 0; back < 3; ++back)
        if (body.find(EscapeHtml(service_urls::Redirect(
                NonceSecondsAgo(back), signedIn ? StoredAccount() : ServiceAccount{}, signedIn, command[3], url))) !=
            std::wstring::npos)
            return true;
    return runner.Print(L"  no link to shop " + command[3] + L" in: " + body.substr(0, 600)), false;
}

bool Key(const Command& command, Runner& runner)
{
    const std::map<std::wstring, WPARAM> names = {
        {L"enter", VK_RETURN}, {L"tab", VK_TAB}, {L"shift-tab", VK_TAB}, {L"f6", VK_F6}};
    return names.contains(command[1]) && OnPage(runner,
                                                [&](testhost::FakeWebBrowser& browser)
                                                {
                                                    BYTE keys[256] = {};
                                                    GetKeyboardState(keys);
                                                    keys[VK_SHIFT] = command[1] == L"shift-tab" ? 0x80 : 0;
                                                    SetKeyboardState(keys);
                                                    MSG message{GetFocus(), WM_KEYDOWN, names.at(command[1]), 0, 0, {}};
                                                    browser.RouteKeyMessage(message);
                                                    keys[VK_SHIFT] = 0;
                                                    SetKeyboardState(keys);
                                                    testhost::PumpMessagesFor(50);
                                                });
}

bool Focus(const Command& command, Runner& runner)
{
    const HWND toolbar = runner.Toolbar();
    const std::map<std::wstring, HWND> places = {{L"search", FindWindowExW(toolbar, nullptr, L"Edit", nullptr)},
                                                 {L"buttons", toolbar},
                                                 {L"content", runner.Host().ContentWindow()}};
    // The band says it has the focus, and the site was last told so by the band, exactly when the focus is in it.
    HWND focus = nullptr;
    HRESULT bandHasFocus = E_FAIL;
    bool siteTold = false, fromBand = false;
    runner.OnHost(
        [&]
        {
            IInputObject* input = nullptr;
            if (runner.Browser().Band() &&
                SUCCEEDED(runner.Browser().Band()->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input))))
                bandHasFocus = input->HasFocusIO(), input->Release();
            const auto& changes = runner.Host().Site().FocusChanges();
            siteTold = !changes.empty() && changes.back().focused;
            fromBand = changes.empty() || changes.back().object == runner.Browser().Band();
            return (focus = GetFocus()), true;
        });
    const bool inBand = command[1] != L"content";
    return places.contains(command[1]) && places.at(command[1]) == focus && (bandHasFocus == S_OK) == inBand &&
           siteTold == inBand && fromBand;
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

void AddCommands(Runner& runner)
{
    runner.Add(L"set", 2, [](const Command& command, Runner& self) { return Assignments(command, self, true); });
    runner.Add(L"expect", 2, [](const Command& command, Runner& self) { return Assignments(command, self, false); });
    runner.Add(L"file", 2,
               [](const Command& command, Runner&)
               {
                   const std::wstring path = DataFilePath(command[1]);
                   return command[2].starts_with(L"age=") ? SetLastWriteTime(path, command[2].substr(4))
                                                          : WriteFileBytes(path, Bytes(command[2]));
               });
    runner.Add(L"expect-file", 2,
               [](const Command& command, Runner& self)
               {
                   const std::string now = ReadFileBytes(DataFilePath(command[1]));
                   const std::string wanted = command[2] == L"served" ? StandinShopList()
                                              : command[2] == L"none" ? "<missing>"
                                                                      : Bytes(command[2]);
                   return now == wanted || (self.Print(L"  holds " + NarrowToWide(now.substr(0, 200))), false);
               });
    runner.Add(L"expect-no-tmp", 0, [](const Command&, Runner&) { return DataFiles(L"*.tmp").empty(); });
    runner.Add(L"service", 1,
               [](const Command& command, Runner& self)
               {
                   const std::wstring reply = StandinControl(command[1]);
                   return reply.find(L"\"ok\": true") != std::wstring::npos || (self.Print(L"  " + reply), false);
               });
    runner.Add(L"expect-requests", 0,
               [](const Command& command, Runner& self)
               {
                   const std::vector<std::wstring> all = StandinRequests(L"");
                   const std::vector<std::wstring> seen(all.begin() + static_cast<long>(state.requestsSeen), all.end());
                   state.requestsSeen = all.size();
                   return MatchList(self, seen, command, kScripts);
               });
    runner.Add(L"wait-request", 1,
               [](const Command& command, Runner&)
               {
                   const std::wstring pattern = command[1].starts_with(L"http") ? command[1] : kScripts + command[1];
                   return useractions::Poll(
                       [&]
                       {
                           const auto all = StandinRequests(L"");
                           return std::any_of(all.begin(), all.end(),
                                              [&](const std::wstring& url)
                                              { return Matches(pattern, url, state.bound); });
                       },
                       20000);
               });
    runner.Add(L"expect-navigations", 0,
               [](const Command& command, Runner& self)
               {
                   std::vector<std::wstring> seen;
                   OnPage(self,
                          [&](testhost::FakeWebBrowser& browser)
                          {
                              // Pages open in the tab itself: flags, a target, post data or headers would show.
                              for (size_t index = state.navigationsSeen; index < browser.Navigations().size(); ++index)
                              {
                                  const testhost::NavigateCall& call = browser.Navigations()[index];
                                  const bool plain = !call.flags && !call.targetFrame && !call.postData &&
                                                     !call.headers && !call.viaNavigate2;
                                  seen.push_back(call.url + (plain ? L"" : L" (with arguments)"));
                              }
                              state.navigationsSeen = browser.Navigations().size();
                          });
                   return MatchList(self, seen, command, L"http://www.quillbury.co.uk/");
               });
    runner.Add(L"open", 0,
               [](const Command& command, Runner& self)
               {
                   HRESULT result = E_FAIL;
                   OnPage(self,
                          [&](testhost::FakeWebBrowser& browser) {
                              result = command.size() > 1 ? self.Host().ShowBand(kBandClsid)
                                                          : browser.CreateHelperObject(kHelperClsid);
                          });
                   return SUCCEEDED(result) && self.Toolbar();
               });
    runner.Add(L"close", 0,
               [](const Command&, Runner& self) { return OnPage(self, [](auto& browser) { browser.Quit(); }); });
    runner.Add(L"start", 1,
               [](const Command& command, Runner&)
               { return command[1] == L"main" ? StartMainWorker(0) : StartNoticeWorker(), true; });
    runner.Add(L"wait-idle", 0,
               [](const Command&, Runner& self)
               {
                   // The tab's thread first finishes what it is doing (the end of a dialog, whose window takes a
                   // while to go under Wine, and what follows it); a worker's thread is counted from its start,
                   // before it raises its running flag.
                   self.OnHost([] { return true; });
                   return useractions::Poll(
                              [] {
                                  return Shared().mainRunning == 0 && Shared().noticeRunning == 0 &&
                                         ProcessThreadCount() <= state.threads;
                              },
                              40000) ||
                          (self.Print(L"  still running: " + std::to_wstring(ProcessThreadCount()) + L" threads"),
                           false);
               });
    // Posted, as the system posts them: a message box or menu they open runs its loop on the tab's thread.
    runner.Add(L"tick", 0,
               [](const Command&, Runner& self)
               { return PostMessageW(self.Toolbar(), WM_TIMER, 1, 0), Sleep(300), true; });
    runner.Add(L"command", 1,
               [](const Command& command, Runner& self)
               { return PostMessageW(self.Toolbar(), WM_COMMAND, scenario::Number(command[1]), 0), Sleep(300), true; });
    runner.Add(L"key", 1, &Key);
    runner.Add(L"type-search", 1,
               [](const Command& command, Runner& self)
               {
                   const HWND box = FindWindowExW(self.Toolbar(), nullptr, L"Edit", nullptr);
                   return box && SendMessageW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(command[1].c_str()));
               });
    runner.Add(L"expect-focus", 1, &Focus);
    runner.Add(L"expect-button", 2,
               [](const Command& command, Runner& self)
               {
                   const std::wstring text =
                       useractions::ToolbarButtonText(self.Toolbar(), static_cast<int>(scenario::Number(command[1])));
                   return text == command[2] || (self.Print(L"  reads \"" + text + L"\""), false);
               });
    runner.Add(L"expect-menu", 0,
               [](const Command& command, Runner& self)
               {
                   std::vector<std::wstring> seen;
                   for (const useractions::MenuLine& line : self.lastMenu)
                       seen.push_back(line.text + (line.grayed ? L" (greyed)" : L""));
                   return MatchList(self, seen, command, L"");
               });
    runner.Add(L"answer", 2, &Answer);
    runner.Add(L"frame", 1,
               [](const Command& command, Runner& self)
               {
                   return OnPage(self,
                                 [&](testhost::FakeWebBrowser& browser)
                                 {
                                     const auto page = FakeDocument::Create(L"<p>Frame</p>");
                                     browser.FireDocumentComplete(
                                         command[1], browser.CreateFrameBrowser(command[1], page.Get()).Get());
                                     browser.SetDocument(page.Get()); // what expect-popup reads
                                 });
               });
    runner.Add(L"moved", 2,
               [](const Command& command, Runner& self)
               {
                   return OnPage(self,
                                 [&](testhost::FakeWebBrowser& browser)
                                 {
                                     browser.SetDocument(FakeDocument::Create(L"<p>Welcome</p>").Get());
                                     browser.SetLocation(command[2]);
                                     browser.FireDocumentComplete(command[1]);
                                 });
               });
    runner.Add(L"expect-popup", 1, &Popup);
    runner.Add(L"expect-log", 2,
               [](const Command& command, Runner& self)
               {
                   const std::lock_guard guard(loggedLock);
                   const auto found = std::find(logged.begin(), logged.end(), command[1] + L" " + command[2]);
                   return found != logged.end() ? (logged.erase(found), true) : (self.Print(L"  not logged"), false);
               });

    // What the process holds and when the library may go. "resources mark" notes the kernel handles and
    // private bytes; "resources back" fails when they grew since by more than 2 handles or 8 MiB (what the
    // allocator keeps). "expect-held": the library says it may go and COM frees it, yet it stays loaded.
    runner.Add(L"resources", 1,
               [](const Command& command, Runner& self)
               {
                   static ResourceSnapshot mark;
                   const ResourceSnapshot now = TakeResourceSnapshot(false);
                   self.Print(L"  " + Describe(now));
                   if (command[1] == L"mark")
                       return mark = now, true;
                   return now.handles <= mark.handles + 2 && now.pagefileUsage < mark.pagefileUsage + (8u << 20);
               });
    runner.Add(L"expect-held", 0,
               [](const Command&, Runner& self)
               {
                   const HMODULE addon = GetModuleHandleW(L"Quillbury.dll");
                   using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
                   const auto canUnload = addon ? reinterpret_cast<CanUnloadNow>(
                                                      reinterpret_cast<void*>(GetProcAddress(addon, "DllCanUnloadNow")))
                                                : nullptr;
                   const bool mayGo = canUnload && canUnload() == S_OK;
                   self.OnHost([] { return CoFreeUnusedLibrariesEx(0 /* no delay */, 0), true; });
                   return mayGo && GetModuleHandleW(L"Quillbury.dll") != nullptr;
               });
    // The helper object, the popup and the workers.
    // wait-for ini|reg|shared NAME=VALUE...: as expect, within 20 s (what another process writes).
    runner.Add(L"wait-for", 2,
               [](const Command& command, Runner& self)
               {
                   const auto output = std::exchange(self.output, nullptr);
                   const bool held = useractions::Poll([&] { return Assignments(command, self, false); }, 20000);
                   self.output = output;
                   return held || Assignments(command, self, false);
               });
    // child TEST: the test run in a second process of this program (another browser process) passes.
    runner.Add(L"child", 1,
               [](const Command& command, Runner&) { return RunThisProgramAsChild(command[1], L"child") == 0; });
    // site-again: the browser sites its helper objects once more. expect-sinks N: the sinks of its events.
    runner.Add(L"site-again", 0,
               [](const Command&, Runner& self)
               {
                   return OnPage(self,
                                 [](testhost::FakeWebBrowser& browser)
                                 {
                                     for (const auto& helper : browser.Helpers())
                                         helper->SetSite(static_cast<IWebBrowser2*>(&browser));
                                 });
               });
    runner.Add(L"expect-sinks", 1,
               [](const Command& command, Runner& self)
               {
                   size_t sinks = 0;
                   OnPage(self,
                          [&](testhost::FakeWebBrowser& browser) { sinks = browser.ConnectionPoint()->SinkCount(); });
                   self.Print(L"  " + std::to_wstring(sinks));
                   return sinks == scenario::Number(command[1]);
               });
    // expect-selection FROM TO: what the search box has selected.
    runner.Add(L"expect-selection", 2,
               [](const Command& command, Runner& self)
               {
                   DWORD from = 0, to = 0;
                   SendMessageW(FindWindowExW(self.Toolbar(), nullptr, L"Edit", nullptr), EM_GETSEL,
                                reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
                   return from == scenario::Number(command[1]) && to == scenario::Number(command[2]);
               });
    // expect-agent TEXT: every service request so far named this user agent.
    runner.Add(L"expect-agent", 1,
               [](const Command& command, Runner& self)
               {
                   const std::wstring log = StandinControl(L"log");
                   const auto count = [&](const std::wstring& part)
                   {
                       size_t found = 0;
                       for (size_t at = log.find(part); at != std::wstring::npos; at = log.find(part, at + 1))
                           ++found;
                       return found;
                   };
                   const size_t requests = count(L"\"url\": \""), named = count(L"\"" + command[1] + L"\"");
                   self.Print(L"  " + std::to_wstring(named) + L" of " + std::to_wstring(requests));
                   return requests > 0 && named == requests;
               });
    // The toolbar's own: a dialog button pressed (or its close box) without waiting long, a dialog's box that masks
    // what is typed, the browser refusing to navigate, the command ids of the last menu, and the page's HTML.
    runner.Add(L"press", 2,
               [](const Command& command, Runner&)
               {
                   // Sent, so what follows comes after the dialog's answer to the press; but not waited for past
                   // a second, since that answer may be a message box the user has to answer first.
                   const HWND dialog = useractions::WaitForProcessWindow(L"#32770", command[1], 10000);
                   const int id = static_cast<int>(scenario::Number(command[2]));
                   DWORD_PTR answer = 0;
                   return dialog && (command[2] == L"close"
                                         ? SendMessageTimeoutW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0, 0, 1000, &answer)
                                         : SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                                               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)), 0,
                                                               1000, &answer)) >= 0;
               });
    runner.Add(L"expect-masked", 2,
               [](const Command& command, Runner&)
               {
                   const HWND dialog = useractions::WaitForProcessWindow(L"#32770", command[1], 10000);
                   const HWND box = GetDlgItem(dialog, static_cast<int>(scenario::Number(command[2])));
                   return box && (GetWindowLongW(box, GWL_STYLE) & ES_PASSWORD) != 0;
               });
    runner.Add(L"navigate-result", 1,
               [](const Command& command, Runner& self)
               {
                   const auto result = static_cast<HRESULT>(std::stoul(command[1], nullptr, 16));
                   return OnPage(self, [&](testhost::FakeWebBrowser& browser) { browser.navigateResult = result; });
               });
    runner.Add(L"expect-menu-ids", 0,
               [](const Command& command, Runner& self)
               {
                   std::vector<std::wstring> seen;
                   for (const useractions::MenuLine& line : self.lastMenu)
                       seen.push_back(std::to_wstring(line.id));
                   return MatchList(self, seen, command, L"");
               });
    runner.Add(L"expect-page", 1,
               [](const Command& command, Runner& self)
               {
                   std::wstring body;
                   OnPage(self,
                          [&](auto& browser) { body = browser.Document() ? browser.Document()->BodyHtml() : L""; });
                   for (size_t index = 1; index < command.size(); ++index)
                       if (!Matches(command[index], body, state.bound))
                           return self.Print(L"  the page: " + body.substr(0, 600)), false;
                   return true;
               });
}
} // namespace

void ScenarioTest::SetUpTestSuite()
{
    ASSERT_NE(StandinPort(), 0) << "run through tools/standin/with_standin.py";
    ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
}

void ScenarioTest::SetUp()
{
    ResetStage();
    SetEventLogWriterForTesting(&RecordLogged);
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
        AddCommands(runner);
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
