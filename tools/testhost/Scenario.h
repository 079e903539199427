// Scenarios: what a user does in the test browser, written as commands, one per line ("visit URL",
// "click-button 16", "type-into-dialog CAPTION ID TEXT", ...). The demo's scripts are scenarios, and the tests
// add commands of their own (what the service does, what must follow).
//
// The commands run on a thread of their own, the user's, while the thread that owns the host plays the
// browser's tab thread: it keeps dispatching messages, also inside the dialogs, menus and message boxes the
// add-on opens there. Work that must run on the tab thread goes through OnHost. Every wait has a deadline.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "UserActions.h"
#include "host/TestBrowserHost.h"

namespace scenario
{

// A command's name (without a leading "--") followed by its arguments.
using Command = std::vector<std::wstring>;

// The commands of a script: one per line, "#" starts a comment line, "double quotes" keep spaces inside one
// argument, and a line may start with "--" or not.
std::vector<Command> ParseScript(const std::wstring& text);
// The words of one line, as above.
std::vector<std::wstring> Words(const std::wstring& line);

std::wstring FromUtf8(const std::string& bytes);
std::string ToUtf8(const std::wstring& text);
bool ReadUtf8File(const std::wstring& path, std::wstring& text);
// A decimal number, or the fallback for empty text.
DWORD Number(const std::wstring& text, DWORD fallback = 0);

class Runner;
// Runs one command; false stops the scenario (the handler has said why through Print).
using Handler = std::function<bool(const Command& command, Runner& runner)>;

class Runner
{
public:
    // Create it on the host's thread.
    explicit Runner(testhost::TestBrowserHost& host);
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Adds or replaces a command that needs at least `arguments` arguments.
    void Add(const std::wstring& name, size_t arguments, Handler handler);
    // Where the transcript goes (by default nowhere) and what runs after every command (on the user's thread).
    std::function<void(const std::wstring& line)> output;
    std::function<void(Runner& runner)> afterEach;

    // Runs the commands in order on the user's thread while this thread dispatches messages, then closes the
    // windows still open (named in the transcript). Returns false when a command failed; with
    // stopAtFailure the commands after it are not run.
    bool Run(const std::vector<Command>& commands, bool stopAtFailure);

    // For commands.
    void Print(const std::wstring& line);
    // Runs work on the host's thread, inside whatever message loop it is in; false when it failed or threw.
    bool OnHost(const std::function<bool()>& work);
    testhost::TestBrowserHost& Host() { return host; }
    testhost::FakeWebBrowser& Browser() { return host.Browser(); }
    // The band's window (the toolbar), or null before the band was shown.
    HWND Toolbar();
    // The windows left open after the last Run: menus, dialogs and message boxes, with their texts.
    const std::vector<std::wstring>& Leftovers() const { return leftovers; }
    // The items of the last menu a drop-down showed.
    std::vector<useractions::MenuLine> lastMenu;

private:
    static LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void AddStandardCommands();

    testhost::TestBrowserHost& host;
    HWND hostWindow = nullptr;
    std::map<std::wstring, std::pair<size_t, Handler>> handlers;
    std::vector<std::wstring> leftovers;
};

} // namespace scenario
