// The add-on against a service that misbehaves: connections dropped or reset, answers that stall before the
// headers or inside the body, garbage instead of HTTP, a header line that never ends, a 50 MB body. The HTTP
// client gives up within its timeouts and frees what it read; the workers end and leave the account stores
// and the shop list whole (or, for a complete download, replace the list whole); the toolbar's Offers
// drop-down shows its empty-list menu and works again once the service recovers.
#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/ErrorReport.h"
#include "core/ScopedHandle.h"
#include "core/Text.h"
#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"
#include "module/Guids.h"
#include "module/ProcessObjects.h"
#include "net/WinHttpClient.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "support/AddonRegistration.h"
#include "support/MenuDriver.h"
#include "support/MessageBoxDriver.h"
#include "toolbar/SearchToolBar.h"
#include "win/net/StandinClient.h"
#include "win/soak/ProcessResources.h"
#include "workers/MainWorker.h"
#include "workers/NoticeWorker.h"

namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::wstring kScripts = L"http://www.quillbury.co.uk/k3tq8w2m/";
const std::wstring kConnectionMessage = L"The server could not be reached at the moment. Please try again later.";
constexpr HttpTimeouts kShortTimeouts{0, 2000, 2000, 2000};
constexpr size_t kHugeBody = 50000000; // the stand-in's `huge` scenario, one 'a' after another
// What the process may keep of a 50 MB answer once the client is gone: the allocator's own bookkeeping.
constexpr long long kReleasedTolerance = 8 * 1024 * 1024;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Control(const std::wstring& path)
{
    const std::wstring reply = StandinControl(path);
    ASSERT_NE(reply.find(L"\"ok\": true"), std::wstring::npos)
        << testing::PrintToString(path) << " -> " << testing::PrintToString(reply);
}

long long Growth(SIZE_T before, SIZE_T after)
{
    return static_cast<long long>(after) - static_cast<long long>(before);
}

std::string ReadBytes(const std::wstring& path)
{
    const KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return "<missing>";
    std::string bytes;
    std::vector<char> buffer(1 << 20);
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) && read > 0)
        bytes.append(buffer.data(), read);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    const KernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

// Yesterday, so that a main worker run downloads the list again.
void MakeYesterdays(const std::wstring& path)
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value{};
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    value.QuadPart -= 24ULL * 36000000000ULL;
    const FILETIME yesterday{value.LowPart, value.HighPart};
    const KernelHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid());
    ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &yesterday));
}

// Every value under the account's registry key, with its type and raw bytes.
std::vector<std::string> RegistryValues()
{
    std::vector<std::string> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    const KeyHandle owned(key);
    for (DWORD index = 0;; ++index)
    {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[2048];
        DWORD size = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        values.push_back(WideToNarrow(std::wstring(name, nameLength)) + ":" + std::to_string(type) + ":" +
                         std::string(reinterpret_cast<const char*>(data), size));
    }
    return values;
}

// What must survive a fault untouched: the INI file and the registry key, byte for byte.
struct AccountStores
{
    std::string ini;
    std::vector<std::string> registry;
    bool operator==(const AccountStores&) const = default;
};

AccountStores ReadAccountStores()
{
    return {ReadBytes(DataFilePath(L"config.ini")), RegistryValues()};
}

std::vector<std::wstring> TemporaryFiles()
{
    const std::wstring list = DataFilePath(kShopListFileName);
    const std::wstring folder = list.substr(0, list.rfind(L'\\'));
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileW((folder + L"\\*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.push_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// ---------------------------------------------------------------------------------------------------------
// The client on its own, with shortened timeouts so that the stalls run past them.

enum class Delivery
{
    Refused,       // Send is false
    AcceptedCut,   // Send is true, but the body is shorter than announced (callers that store it refuse it)
    AcceptedWhole, // Send is true with the whole body
    NothingUsable, // Send is false, or true with an empty body (which every caller treats as no answer)
};

struct ClientCase
{
    const char* name;
    std::wstring control;
    std::wstring script;
    Delivery delivery;
    double maxSeconds; // three attempts with their timeouts, and some slack for a loaded machine
    double minSeconds;
};

TEST(ClientFaultTest, GivesUpWithinItsTimeoutsAndFreesWhatItRead)
{
    ASSERT_NE(StandinPort(), 0) << "run through tools/standin/with_standin.py";
    const ClientCase cases[] = {
        {"never answers", L"scenario?set=stall&seconds=10&path=check_version.php", L"check_version.php?PID=QLBY",
         Delivery::Refused, 12.0, 1.8},
        {"stops inside the body", L"scenario?set=stall&phase=body&sent=100&seconds=10&path=get_merchant.php",
         L"get_merchant.php?PID=QLBY", Delivery::AcceptedCut, 6.0, 1.8},
        {"drops the connection", L"scenario?set=drop&path=check_version.php", L"check_version.php?PID=QLBY",
         Delivery::Refused, 5.0, 0.0},
        {"resets the connection", L"scenario?set=drop&rst=1&path=check_version.php", L"check_version.php?PID=QLBY",
         Delivery::Refused, 5.0, 0.0},
        {"answers with garbage", L"scenario?set=garbage&path=check_version.php", L"check_version.php?PID=QLBY",
         Delivery::Refused, 5.0, 0.0},
        // Wine's WinHTTP gives up on the line and reports an empty answer; Windows refuses the headers.
        {"sends a header line that never ends", L"scenario?set=endless_header&path=check_version.php",
         L"check_version.php?PID=QLBY", Delivery::NothingUsable, 12.0, 0.0},
        {"closes after half the body", L"scenario?set=truncate&path=get_merchant.php", L"get_merchant.php?PID=QLBY",
         Delivery::AcceptedCut, 5.0, 0.0},
        {"sends 50 MB", L"scenario?set=huge&path=check_version.php", L"check_version.php?PID=QLBY",
         Delivery::AcceptedWhole, 30.0, 0.0},
    };
    for (const ClientCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        Control(L"reset?log=1");
        Control(test.control);
        const ResourceSnapshot before = TakeResourceSnapshot(false);
        const auto start = Clock::now();
        {
            WinHttpClient client(kScripts + test.script, kShortTimeouts);
            client.SetUserAgent(L"Mozilla/4.0");
            const bool sent = client.Send(L"GET");
            const double seconds = SecondsSince(start);
            EXPECT_LE(seconds, test.maxSeconds);
            EXPECT_GE(seconds, test.minSeconds) << "the stall is what ended the attempts";
            switch (test.delivery)
            {
            case Delivery::Refused:
                EXPECT_FALSE(sent);
                break;
            case Delivery::AcceptedCut:
                EXPECT_TRUE(sent);
                EXPECT_FALSE(client.TransferComplete());
                break;
            case Delivery::AcceptedWhole:
                EXPECT_TRUE(sent);
                EXPECT_TRUE(client.TransferComplete());
                EXPECT_EQ(client.ReceivedCount(), kHugeBody);
                EXPECT_EQ(client.ResponseText().size(), kHugeBody);
                EXPECT_EQ(client.ResponseBytes()[kHugeBody], 0) << "a zero byte follows the body";
                break;
            case Delivery::NothingUsable:
                EXPECT_TRUE(!sent || client.ResponseText().empty()) << testing::PrintToString(client.ResponseText());
                break;
            }
        }
        const ResourceSnapshot after = TakeResourceSnapshot(false);
        EXPECT_LE(after.handles, before.handles + 2) << "the request's handles are closed";
        EXPECT_LT(Growth(before.pagefileUsage, after.pagefileUsage), kReleasedTolerance) << Describe(after);
    }
}

// ---------------------------------------------------------------------------------------------------------
// The workers with the add-on's own timeouts: the stalls here are shorter than those.

// A worker run on a thread of its own in a single-threaded apartment, as the add-on starts it; a run that
// does not end in time is left behind (and the test fails) rather than hanging the program.
bool RunWorker(WorkerRun run, const WorkerContext& context, std::chrono::seconds limit)
{
    auto finished = std::make_shared<std::atomic<bool>>(false);
    std::thread worker(
        [run, context, finished]
        {
            const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            RunGuarded(run, context);
            if (SUCCEEDED(com))
                CoUninitialize();
            *finished = true;
        });
    const auto deadline = Clock::now() + limit;
    while (!*finished && Clock::now() < deadline)
        Sleep(20);
    if (!*finished)
    {
        worker.detach();
        return false;
    }
    worker.join();
    return true;
}

struct WorkerCase
{
    const char* name;
    std::wstring control;
    bool listReplaced;              // by the whole 50 MB answer; otherwise the old list stays
    std::optional<size_t> messages; // connection messages of the main worker (nothing: either way)
    std::chrono::seconds limit;
};

class WorkerFaultTest : public testing::Test
{
protected:
    static constexpr char kOldList[] = "http://www.shop.example/|1000<br>old|1<br>";

    void SetUp() override
    {
        ASSERT_NE(StandinPort(), 0) << "run through tools/standin/with_standin.py";
        previousWriter = SetEventLogWriterForTesting(&IgnoreLogged);
        listPath = DataFilePath(kShopListFileName);
    }
    void TearDown() override
    {
        SetEventLogWriterForTesting(previousWriter);
        ZeroMemory(&Shared(), sizeof(SharedBlock));
    }

    // A signed-out account in both stores, yesterday's shop list, a version check due, a zeroed block.
    void Arrange()
    {
        Control(L"reset?log=1");
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
        WriteIniCredentials(L"demo@example.com", PasswordDigest(L"cashback"));
        WriteRegistryCredentials(L"demo@example.com", PasswordDigest(L"cashback"));
        WriteBytes(listPath, kOldList);
        MakeYesterdays(listPath);
        ZeroMemory(&Shared(), sizeof(SharedBlock));
    }

    static void IgnoreLogged(DWORD, const std::array<std::wstring, 3>&) {}

    std::wstring listPath;
    EventLogWriter previousWriter = nullptr;
};

TEST_F(WorkerFaultTest, WorkersEndAndLeaveTheStoresWhole)
{
    const WorkerCase cases[] = {
        {"every connection dropped", L"scenario?set=drop", false, 2, 30s},
        {"garbage for every answer", L"scenario?set=garbage", false, 2, 30s},
        {"server errors for every answer", L"scenario?set=error&code=500", false, 0, 30s},
        {"endless headers for every answer", L"scenario?set=endless_header", false, std::nullopt, 60s},
        // Three attempts of about 3 s each, well within the add-on's 30 s receive timeout.
        {"the list download stalls", L"scenario?set=stall&seconds=3&path=get_merchant.php", false, 0, 40s},
        {"the list download stops inside the body",
         L"scenario?set=stall&phase=body&sent=1000&seconds=3&path=get_merchant.php", false, 0, 40s},
        {"a 50 MB list", L"scenario?set=huge&path=get_merchant.php", true, 0, 60s},
    };
    MessageBoxDriver errors(L"Error");
    SharedBlock& shared = Shared();
    for (const WorkerCase& test : cases)
    {
        SCOPED_TRACE(test.name);
        Arrange();
        Control(test.control);
        const AccountStores stores = ReadAccountStores();
        const size_t messagesBefore = errors.Seen().size();
        const ResourceSnapshot before = TakeResourceSnapshot(false);

        // The notice first, while the account is not verified: it asks the service too.
        ASSERT_TRUE(RunWorker(&NoticeWorker, {&shared.noticeDone, &shared.noticeRunning, 0}, test.limit));
        EXPECT_EQ(shared.noticeRunning, 0);
        EXPECT_EQ(shared.noticeDone, 0);
        EXPECT_EQ(LoadSharedText(shared.noticeText), L"");

        const auto start = Clock::now();
        ASSERT_TRUE(RunWorker(&MainWorker, {&shared.mainDone, &shared.mainRunning, 0}, test.limit))
            << "still running after " << SecondsSince(start) << " s";
        std::printf("[ fault ] %s: main worker ended after %.1f s\n", test.name, SecondsSince(start));
        EXPECT_EQ(shared.mainRunning, 0);
        EXPECT_EQ(shared.mainDone, test.listReplaced ? 1 : 0);
        if (test.messages)
        {
            EXPECT_EQ(errors.WaitFor(messagesBefore + *test.messages, 2s).size(), messagesBefore + *test.messages);
        }
        for (size_t n = messagesBefore; n < errors.Seen().size(); ++n)
            EXPECT_EQ(errors.Seen()[n], kConnectionMessage);

        const ResourceSnapshot after = TakeResourceSnapshot(false);
        EXPECT_TRUE(ReadAccountStores() == stores) << "the INI file and the registry key are untouched";
        const std::string list = ReadBytes(listPath);
        if (test.listReplaced)
        {
            EXPECT_EQ(list.size(), kHugeBody);
            EXPECT_EQ(list.find_first_not_of('a'), std::string::npos) << "the whole answer, nothing else";
        }
        else
        {
            EXPECT_EQ(list, kOldList);
        }
        EXPECT_EQ(TemporaryFiles(), std::vector<std::wstring>{});
        EXPECT_LT(Growth(before.pagefileUsage, after.pagefileUsage), kReleasedTolerance) << Describe(after);
        EXPECT_LE(after.handles, before.handles + 2);
    }
    DeleteFileW(listPath.c_str());
}

// ---------------------------------------------------------------------------------------------------------
// The toolbar's Offers drop-down, with the band through real COM activation in the test browser host.

constexpr int kOffersButton = 7;
constexpr int kFreeCashbackButton = 11;
const std::wstring kNoOffers = L"No offers to display for this website";

class ToolbarFaultTest : public testing::Test
{
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RunRegsvr32(L"/s"), 0u); }

    void SetUp() override
    {
        ASSERT_NE(StandinPort(), 0) << "run through tools/standin/with_standin.py";
        Control(L"reset?log=1");
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
        WriteIniCredentials(L"demo@example.com", PasswordDigest(L"cashback"));
        WriteBytes(DataFilePath(kShopListFileName), "http://www.shop.example/|1000<br>");
        SharedBlock& shared = Shared();
        ZeroMemory(&shared, sizeof(shared));
        // Signed in with the shop list ready; no worker is started.
        shared.signedIn = 1;
        shared.mainDone = 1;
        shared.mainRunning = 1;
        shared.noticeRunning = 1;
        host = std::make_unique<testhost::TestBrowserHost>(testhost::HostOptions{true, 1000, 300});
        ASSERT_EQ(host->ShowBand(kBandClsid), S_OK);
        toolbar = host->Browser().BandWindow();
        ASSERT_NE(toolbar, nullptr);
        SendMessageW(toolbar, WM_TIMER, SearchToolBar::kRefreshTimer, 0); // the tick that loads the list
        host->Browser().SetLocation(L"http://www.shop.example/basket?item=7");
    }

    void TearDown() override
    {
        host.reset();
        ZeroMemory(&Shared(), sizeof(SharedBlock));
        DeleteFileW(DataFilePath(kShopListFileName).c_str());
    }

    // Clicks a button the way the mouse does; a drop-down runs its request and its menu inside the click.
    void Click(int command)
    {
        RECT rect{};
        ASSERT_TRUE(SendMessageW(toolbar, TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&rect)));
        const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        PostMessageW(toolbar, WM_MOUSEMOVE, 0, at);
        PostMessageW(toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(toolbar, WM_LBUTTONUP, 0, at);
        testhost::PumpMessagesFor(150);
    }

    // The items of the menu the next Offers drop-down shows.
    std::vector<MenuItemSeen> DropDownOffers(MenuDriver& user, double& seconds)
    {
        const size_t seen = user.Count();
        const auto start = Clock::now();
        Click(kOffersButton);
        const bool shown = testhost::PumpUntil([&] { return user.Count() > seen; }, 60000);
        seconds = SecondsSince(start);
        if (!shown)
            return {};
        return user.Seen()[seen];
    }

    std::unique_ptr<testhost::TestBrowserHost> host;
    HWND toolbar = nullptr;
};

TEST_F(ToolbarFaultTest, OffersShowTheEmptyMenuAndTheToolbarWorksAfterwards)
{
    struct Case
    {
        const char* name;
        std::wstring control;
        bool offersShown; // the service recovered within the drop-down's three attempts
        double maxSeconds;
    };
    const Case cases[] = {
        {"connection dropped", L"scenario?set=drop&path=get_offer.php", false, 10.0},
        {"garbage", L"scenario?set=garbage&path=get_offer.php", false, 10.0},
        {"server error", L"scenario?set=error&code=500&path=get_offer.php", false, 10.0},
        {"endless header", L"scenario?set=endless_header&path=get_offer.php", false, 30.0},
        {"a 50 MB answer without records", L"scenario?set=huge&path=get_offer.php", false, 60.0},
        {"a first answer that stalls", L"scenario?set=stall&seconds=2&times=1&path=get_offer.php", true, 15.0},
    };
    MenuDriver user;
    const AccountStores stores = ReadAccountStores();
    for (const Case& test : cases)
    {
        SCOPED_TRACE(test.name);
        Control(L"scenario?clear=all");
        Control(test.control);
        double seconds = 0;
        const std::vector<MenuItemSeen> items = DropDownOffers(user, seconds);
        std::printf("[ fault ] offers, %s: menu after %.1f s\n", test.name, seconds);
        EXPECT_LE(seconds, test.maxSeconds);
        ASSERT_FALSE(items.empty()) << "no menu was shown";
        if (test.offersShown)
        {
            EXPECT_EQ(items[0].id, 60001u);
            EXPECT_FALSE(items[0].grayed);
        }
        else
        {
            ASSERT_EQ(items.size(), 1u);
            EXPECT_EQ(items[0].text, kNoOffers);
            EXPECT_TRUE(items[0].grayed);
        }
    }

    // The service is back: the same drop-down shows the shop's offers, and the other buttons still work.
    Control(L"scenario?clear=all");
    double seconds = 0;
    const std::vector<MenuItemSeen> items = DropDownOffers(user, seconds);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items[0].id, 60001u);
    EXPECT_NE(items[0].text, kNoOffers);
    Click(kFreeCashbackButton);
    ASSERT_FALSE(host->Browser().Navigations().empty());
    EXPECT_EQ(host->Browser().Navigations().back().url, L"http://www.quillbury.co.uk/free_cashback/");
    EXPECT_TRUE(ReadAccountStores() == stores) << "the INI file and the registry key are untouched";
}
} // namespace
