// The main and notice workers end to end under Wine: the real registry, INI file, shop list file, shared block,
// message boxes and HTTP to the stand-in service, whose request log shows exactly what the workers sent.
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <thread>

#include "core/ErrorReport.h"
#include "core/ScopedHandle.h"
#include "core/Text.h"
#include "module/ProcessObjects.h"
#include "net/ServiceUrls.h"
#include "net/WinHttpClient.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "support/MessageBoxDriver.h"
#include "win/net/StandinClient.h"
#include "workers/MainWorker.h"
#include "workers/NoticeWorker.h"

namespace
{
using namespace std::chrono_literals;

const std::wstring kScripts = L"http://www.quillbury.co.uk/k3tq8w2m/";
const std::wstring kConnectionMessage = L"The server could not be reached at the moment. Please try again later.";
const std::wstring kUpdateQuestion = L"A new version of Quillbury toolbar is available. Would you like to install it?";
const std::wstring kDemoEmail = L"demo@example.com";
constexpr wchar_t kTestsKeyPath[] = L"Software\\QuillburyTests";
constexpr wchar_t kUpdaterKeyPath[] = L"Software\\QuillburyTests\\Updater";
constexpr auto kRunLimit = 20s;

std::wstring DemoDigest()
{
    return PasswordDigest(L"cashback");
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;)
    {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        Sleep(20);
    }
}

// Whatever the workers report to the event log; a run in these tests never has anything to report.
std::mutex loggedLock;
std::vector<std::wstring> logged;

void RecordLogged(DWORD /*eventId*/, const std::array<std::wstring, 3>& strings)
{
    const std::lock_guard guard(loggedLock);
    logged.push_back(strings[0] + L" (" + strings[1] + L" " + strings[2] + L")");
}

// A worker run on a thread of its own, in a single-threaded apartment as the add-on runs it. A run that
// does not end in time is left behind (and the test fails) rather than hanging the program.
class BackgroundRun
{
public:
    BackgroundRun(WorkerRun run, const WorkerContext& context)
        : worker(
              [run, context, done = finished]
              {
                  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
                  RunGuarded(run, context);
                  if (SUCCEEDED(com))
                      CoUninitialize();
                  *done = true;
              })
    {
    }
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;
    ~BackgroundRun()
    {
        if (worker.joinable())
            worker.detach();
    }

    bool Wait(std::chrono::milliseconds limit = kRunLimit)
    {
        if (!WaitUntil([this] { return finished->load(); }, limit))
            return false;
        worker.join();
        return true;
    }

private:
    std::shared_ptr<std::atomic<bool>> finished = std::make_shared<std::atomic<bool>>(false);
    std::thread worker;
};

bool RunToCompletion(WorkerRun run, const WorkerContext& context)
{
    BackgroundRun background(run, context);
    return background.Wait();
}

WorkerContext MainContext()
{
    SharedBlock& shared = Shared();
    return WorkerContext{&shared.mainDone, &shared.mainRunning, 0};
}

WorkerContext NoticeContext()
{
    SharedBlock& shared = Shared();
    return WorkerContext{&shared.noticeDone, &shared.noticeRunning, 0};
}

// The service requests in the stand-in's log, in arrival order.
std::vector<std::wstring> ServiceRequests()
{
    return StandinRequests(kScripts);
}

// The script name of each request: "get_merchant.php" and so on.
std::vector<std::wstring> Scripts(const std::vector<std::wstring>& urls)
{
    std::vector<std::wstring> scripts;
    for (const auto& url : urls)
        scripts.push_back(url.substr(kScripts.size(), url.find(L'?') - kScripts.size()));
    return scripts;
}

std::vector<std::wstring> Scripts()
{
    return Scripts(ServiceRequests());
}

// The raw value of a query key ("" when absent).
std::wstring QueryValue(const std::wstring& url, const std::wstring& key)
{
    const std::wstring query = L"&" + url.substr(url.find(L'?') + 1) + L"&";
    const size_t at = query.find(L"&" + key + L"=");
    if (at == std::wstring::npos)
        return {};
    const size_t start = at + key.size() + 2;
    return query.substr(start, query.find(L'&', start) - start);
}

// %XX sequences of ASCII characters back to the characters.
std::wstring PercentDecoded(const std::wstring& text)
{
    std::wstring result;
    for (size_t at = 0; at < text.size(); ++at)
    {
        if (text[at] == L'%' && at + 2 < text.size())
        {
            result += static_cast<wchar_t>(std::stoi(text.substr(at + 1, 2), nullptr, 16));
            at += 2;
        }
        else
            result += text[at];
    }
    return result;
}

// The nonces of every second from `first` to `last`, as the add-on makes them from the local time.
std::set<std::wstring> NoncesBetween(std::time_t first, std::time_t last)
{
    std::set<std::wstring> nonces;
    for (std::time_t second = first; second <= last; ++second)
    {
        std::tm local{};
        localtime_s(&local, &second);
        nonces.insert(RequestNonceFor(local));
    }
    return nonces;
}

int Occurrences(const std::wstring& text, const std::wstring& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::wstring::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

void Control(const std::wstring& path)
{
    const std::wstring reply = StandinControl(path);
    EXPECT_NE(reply.find(L"\"ok\": true"), std::wstring::npos)
        << testing::PrintToString(path) << " -> " << testing::PrintToString(reply);
}

std::string ReadBytes(const std::wstring& path)
{
    const KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
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

FILETIME FromLocal(const SYSTEMTIME& local)
{
    SYSTEMTIME utc{};
    FILETIME time{};
    EXPECT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    EXPECT_TRUE(SystemTimeToFileTime(&utc, &time));
    return time;
}

FILETIME ShiftedByHours(FILETIME time, int hours)
{
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart = static_cast<ULONGLONG>(static_cast<LONGLONG>(value.QuadPart) + hours * 36000000000LL);
    return FILETIME{value.LowPart, value.HighPart};
}

SYSTEMTIME LocalNow()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return now;
}

SYSTEMTIME TodayAt(WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME time = LocalNow();
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    time.wMilliseconds = 0;
    return time;
}

void SetLastWriteTime(const std::wstring& path, const FILETIME& time)
{
    {
        const KernelHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.IsValid());
        ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &time));
    }
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes));
    ASSERT_EQ(CompareFileTime(&attributes.ftLastWriteTime, &time), 0) << "the file system kept the time";
}

// The shop list as the stand-in serves it, fetched the way the worker fetches it.
std::string StandinShopList()
{
    WinHttpClient client(kScripts + L"get_merchant.php?PID=QLBY");
    client.SetUserAgent(L"Mozilla/4.0");
    EXPECT_TRUE(client.Send(L"GET"));
    return std::string(reinterpret_cast<const char*>(client.ResponseBytes()), client.ReceivedCount());
}

// A DWORD the fake updater wrote (0 when it is missing).
DWORD UpdaterValue(const wchar_t* name)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kUpdaterKeyPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
        return 0;
    return value;
}

std::wstring Stored(const wchar_t* name)
{
    return RegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath).ReadString(name);
}

void StoreAccount(const std::wstring& email, const std::wstring& digest)
{
    const RegistryKey key(HKEY_CURRENT_USER, kSettingsKeyPath);
    if (!email.empty())
        key.SetString(L"email", email);
    if (!digest.empty())
        key.SetString(L"password", digest);
}

struct Account
{
    std::wstring email;
    std::wstring digest;
    bool operator==(const Account&) const = default;
};

void PrintTo(const Account& account, std::ostream* out)
{
    *out << testing::PrintToString(account.email) << "/" << testing::PrintToString(account.digest);
}

Account IniAccount()
{
    Account account;
    ReadIniCredentials(account.email, account.digest);
    return account;
}

Account RegistryAccount()
{
    return Account{Stored(L"email"), Stored(L"password")};
}

class WorkerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(StandinPort(), 0) << "run through tools/standin/with_standin.py";
        previousWriter = SetEventLogWriterForTesting(&RecordLogged);
        listPath = DataFilePath(kShopListFileName);
        ASSERT_FALSE(listPath.empty());
        folder = listPath.substr(0, listPath.rfind(L'\\'));
        Reset();
    }

    void TearDown() override
    {
        SetEventLogWriterForTesting(previousWriter);
        const std::lock_guard guard(loggedLock);
        EXPECT_TRUE(logged.empty()) << testing::PrintToString(logged);
        logged.clear();
    }

    // The start state of every case: the stand-in's fixtures, scenarios and log, no account, no shop list,
    // no declined update, a zeroed shared block.
    void Reset()
    {
        Control(L"reset?log=1");
        Control(L"log/clear");
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
        DeleteKeyTree(HKEY_CURRENT_USER, kTestsKeyPath);
        DeleteFileW(DataFilePath(L"config.ini").c_str());
        DeleteFileW(listPath.c_str());
        for (const auto& name : TemporaryFiles())
            DeleteFileW((folder + L"\\" + name).c_str());
        ZeroMemory(&Shared(), sizeof(SharedBlock));
    }

    // Leaves only the first two steps to a run: the shop list is current and the update was declined today.
    void SkipListAndVersion()
    {
        WriteBytes(listPath, "current|1<br>");
        RegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath).SetString(L"ver_upd_not_day", TodayToken());
    }

    std::vector<std::wstring> TemporaryFiles() const
    {
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

    std::wstring listPath;
    std::wstring folder;
    EventLogWriter previousWriter = nullptr;
};

TEST_F(WorkerTest, StoredAccountRunSendsItsFourRequestsInOrderAndPublishesTheResults)
{
    StoreAccount(kDemoEmail, DemoDigest());
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));
    const std::time_t after = std::time(nullptr);

    const auto urls = ServiceRequests();
    ASSERT_EQ(Scripts(urls), (std::vector<std::wstring>{L"pwd_change_verify.php", L"cashback_verify.php",
                                                        L"get_merchant.php", L"check_version.php"}));
    const std::wstring nonce = QueryValue(urls[0], L"y");
    EXPECT_EQ(NoncesBetween(before, after).count(nonce), 1u) << testing::PrintToString(nonce);
    const std::wstring account =
        L"?y=" + nonce + L"&t=demo%40example.com&m=" + DemoDigest() + L"&d=" + nonce + L"&f=" + nonce + L"&PID=QLBY";
    EXPECT_EQ(urls[0], kScripts + L"pwd_change_verify.php" + account);
    EXPECT_EQ(urls[1], kScripts + L"cashback_verify.php" + account) << "one nonce serves the whole run";
    EXPECT_EQ(urls[2], kScripts + L"get_merchant.php?PID=QLBY");
    EXPECT_EQ(urls[3], kScripts + L"check_version.php?PID=QLBY");
    const std::wstring log = StandinControl(L"log");
    EXPECT_EQ(Occurrences(log, L"\"method\": \"GET\""), 4);
    EXPECT_EQ(Occurrences(log, L"\"Mozilla/4.0\""), 4) << "every request names the user agent";

    const SharedBlock& shared = Shared();
    EXPECT_EQ(shared.signedIn, 1);
    EXPECT_EQ(LoadSharedText(shared.approvedText), L"12.50\u00a3");
    EXPECT_EQ(LoadSharedText(shared.pendingText), L"\u20ac3.00");
    EXPECT_EQ(shared.verifyNumber, 7);
    EXPECT_EQ(shared.wrongPasswordPending, 0);
    EXPECT_EQ(shared.notRegisteredPending, 0);
    EXPECT_EQ(shared.mainDone, 1);
    EXPECT_EQ(shared.mainRunning, 0);
    EXPECT_EQ(Stored(L"ver_upd_not_day"), L"") << "the current version asks nothing";
    EXPECT_EQ(IniAccount(), Account{}) << "no change reported, nothing written";
    EXPECT_EQ(ReadBytes(listPath), StandinShopList());
}

TEST_F(WorkerTest, AccountStepsNeedAWholeAccountAndVerificationAnUnverifiedOne)
{
    struct Case
    {
        const char* name;
        std::wstring email;
        std::wstring digest;
        LONG signedIn;
        std::vector<std::wstring> scripts;
    };
    const Case cases[] = {
        {"no account", L"", L"", 0, {L"get_merchant.php", L"check_version.php"}},
        {"e-mail only", kDemoEmail, L"", 0, {L"get_merchant.php", L"check_version.php"}},
        {"digest only", L"", DemoDigest(), 0, {L"get_merchant.php", L"check_version.php"}},
        {"already verified",
         kDemoEmail,
         DemoDigest(),
         1,
         {L"pwd_change_verify.php", L"get_merchant.php", L"check_version.php"}},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.name);
        Reset();
        StoreAccount(test.email, test.digest);
        SharedBlock& shared = Shared();
        shared.signedIn = test.signedIn;
        StoreSharedText(shared.approvedText, L"kept");
        ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));
        EXPECT_EQ(Scripts(), test.scripts);
        EXPECT_EQ(shared.signedIn, test.signedIn);
        EXPECT_EQ(LoadSharedText(shared.approvedText), L"kept");
        EXPECT_EQ(shared.mainDone, 1);
        EXPECT_EQ(shared.mainRunning, 0);
    }
}

TEST_F(WorkerTest, PasswordChangeRepliesRewriteBothStoresBeforeTheVerification)
{
    const Account demo{kDemoEmail, DemoDigest()};
    struct Case
    {
        std::wstring reply;
        std::optional<Account> written;
    };
    const Case cases[] = {
        {L"1|0123abcd|x", Account{kDemoEmail, L"0123abcd|x"}},
        {L"2|0123abcd|moved@example.com", Account{L"moved@example.com", L"0123abcd"}},
        {L"2|0123abcd", demo}, // both rewritten as they were
        {L"3|0123abcd|moved@example.com", std::nullopt},
        {L"10|0123abcd", std::nullopt},
        {L"1", std::nullopt},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(test.reply));
        Reset();
        StoreAccount(demo.email, demo.digest);
        SkipListAndVersion();
        Control(L"fixture?pwd_reply=" + UrlEncode(test.reply));
        ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));

        const Account now = test.written.value_or(demo);
        EXPECT_EQ(RegistryAccount(), now);
        EXPECT_EQ(IniAccount(), test.written.value_or(Account{}));
        const auto urls = ServiceRequests();
        ASSERT_EQ(Scripts(urls), (std::vector<std::wstring>{L"pwd_change_verify.php", L"cashback_verify.php"}));
        EXPECT_EQ(QueryValue(urls[1], L"t"), UrlEncode(now.email)) << "the verification reads the account again";
        EXPECT_EQ(PercentDecoded(QueryValue(urls[1], L"m")), now.digest);
    }
}

TEST_F(WorkerTest, PasswordAndEmailChangedOnTheSiteAreStoredAndVerified)
{
    StoreAccount(kDemoEmail, DemoDigest());
    SkipListAndVersion();
    Control(L"scenario?set=password_changed&form=2&password=changed123&new_email=moved%40example.com");
    ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));

    const Account moved{L"moved@example.com", PasswordDigest(L"changed123")};
    EXPECT_EQ(RegistryAccount(), moved);
    EXPECT_EQ(IniAccount(), moved);
    const auto urls = ServiceRequests();
    ASSERT_EQ(urls.size(), 2u);
    EXPECT_EQ(QueryValue(urls[1], L"t"), L"moved%40example.com");
    EXPECT_EQ(QueryValue(urls[1], L"m"), moved.digest);
    EXPECT_EQ(Shared().signedIn, 1) << "the service accepts the new values";
}

TEST_F(WorkerTest, VerificationRepliesSetTheSharedResults)
{
    const std::wstring longApproved(30, L'A');
    const std::wstring fullPending(24, L'B');
    struct Case
    {
        std::wstring reply;
        LONG signedIn;
        LONG notRegistered;
        LONG wrongPassword;
        std::wstring approved;
        std::wstring pending;
        LONG number;
    };
    const Case cases[] = {
        {L"1|12.50&pound;|&euro;3.00|7", 1, 0, 0, L"12.50\u00a3", L"\u20ac3.00", 7},
        {L"1|&yen;1 &yen;2|x| -12abc", 1, 0, 0, L"\u00a51 &yen;2", L"x", -12},
        {L"1|x", 1, 0, 0, L"old approved", L"old pending", 99},
        {L"2|x", 0, 1, 0, L"old approved", L"old pending", 99},
        {L"0|x", 0, 0, 1, L"old approved", L"old pending", 99},
        {L"10|a|b|3", 0, 0, 1, L"old approved", L"old pending", 99},
        {L"1", 0, 0, 0, L"old approved", L"old pending", 99},
        {L"1|" + longApproved + L"|" + fullPending + L"|5", 1, 0, 0, longApproved.substr(0, 24), fullPending, 5},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(testing::PrintToString(test.reply));
        Reset();
        StoreAccount(kDemoEmail, DemoDigest());
        SkipListAndVersion();
        SharedBlock& shared = Shared();
        StoreSharedText(shared.approvedText, L"old approved");
        StoreSharedText(shared.pendingText, L"old pending");
        shared.verifyNumber = 99;
        Control(L"fixture?verify_reply=" + UrlEncode(test.reply));
        ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));

        EXPECT_EQ(shared.signedIn, test.signedIn);
        EXPECT_EQ(shared.notRegisteredPending, test.notRegistered);
        EXPECT_EQ(shared.wrongPasswordPending, test.wrongPassword);
        EXPECT_EQ(LoadSharedText(shared.approvedText), test.approved);
        EXPECT_EQ(LoadSharedText(shared.pendingText), test.pending);
        EXPECT_EQ(shared.approvedText[24], L'\0');
        EXPECT_EQ(shared.pendingText[24], L'\0');
        EXPECT_EQ(shared.verifyNumber, test.number);
    }
}

TEST_F(WorkerTest, UnreachableServerShowsTheConnectionMessageAndTheRunGoesOn)
{
    StoreAccount(kDemoEmail, DemoDigest());
    Control(L"scenario?set=drop&path=pwd_change_verify.php,cashback_verify.php");
    MessageBoxDriver errors(L"Error");
    ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));

    EXPECT_EQ(errors.WaitFor(2, 1s), (std::vector<std::wstring>{kConnectionMessage, kConnectionMessage}))
        << "one message for each of the two account requests";
    const auto scripts = Scripts();
    ASSERT_GE(scripts.size(), 4u);
    EXPECT_EQ(scripts.front(), L"pwd_change_verify.php");
    EXPECT_EQ(std::vector<std::wstring>(scripts.end() - 2, scripts.end()),
              (std::vector<std::wstring>{L"get_merchant.php", L"check_version.php"}));
    const SharedBlock& shared = Shared();
    EXPECT_EQ(shared.signedIn, 0);
    EXPECT_EQ(shared.wrongPasswordPending + shared.notRegisteredPending, 0);
    EXPECT_EQ(shared.mainDone, 1);
    EXPECT_EQ(shared.mainRunning, 0);
    EXPECT_EQ(RegistryAccount(), (Account{kDemoEmail, DemoDigest()}));
}

TEST_F(WorkerTest, NewerVersionPromptStartsTheUpdaterOnYesAndIsQuietForTheDayAfterNo)
{
    WriteBytes(listPath, "current|1<br>");
    Control(L"scenario?set=new_version");
    MessageBoxDriver prompts(L"Quillbury", {IDYES, IDNO});
    ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));
    ASSERT_EQ(prompts.WaitFor(1, 1s), std::vector<std::wstring>{kUpdateQuestion});
    EXPECT_TRUE(WaitUntil([] { return UpdaterValue(L"ran") == 1; }, 20s)) << "the updater beside the program ran";
    EXPECT_EQ(UpdaterValue(L"arguments"), 0u);
    EXPECT_EQ(Stored(L"ver_upd_not_day"), L"") << "Yes stores nothing";
    wchar_t program[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
    const std::wstring programPath = program;
    EXPECT_EQ(UpdaterPath(), programPath.substr(0, programPath.rfind(L'\\') + 1) + L"Quillbury_Updater.exe");

    // Any version text but the add-on's own prompts, an older one too; No keeps the rest of the day quiet.
    Control(L"scenario?set=new_version&version=1.0.00");
    ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));
    ASSERT_EQ(prompts.WaitFor(2, 1s).size(), 2u);
    EXPECT_EQ(prompts.Seen()[1], kUpdateQuestion);
    EXPECT_EQ(Stored(L"ver_upd_not_day"), std::to_wstring(LocalNow().wDayOfWeek));
    EXPECT_EQ(Stored(L"ver_upd_not_day"), TodayToken());

    Control(L"log/clear");
    ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));
    EXPECT_EQ(StandinRequestCount(L"check_version.php"), 0) << "declined today: no version check";
    EXPECT_EQ(prompts.Seen().size(), 2u);

    // A decline stored on another weekday does not count today.
    RegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath)
        .SetString(L"ver_upd_not_day", std::to_wstring((LocalNow().wDayOfWeek + 1) % 7));
    ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));
    EXPECT_EQ(StandinRequestCount(L"check_version.php"), 1);
    EXPECT_EQ(prompts.WaitFor(3, 1s).size(), 3u);
    EXPECT_EQ(Stored(L"ver_upd_not_day"), TodayToken());
}

TEST_F(WorkerTest, ShopListIsDownloadedUnlessItWasLastWrittenToday)
{
    const std::string served = StandinShopList();
    ASSERT_GT(served.size(), 1000u);
    const std::string old = "old|1<br>";
    const FILETIME todayNoon = FromLocal(TodayAt(12, 0, 0));
    SYSTEMTIME lastMonth = TodayAt(12, 0, 0);
    lastMonth.wYear = static_cast<WORD>(lastMonth.wMonth == 1 ? lastMonth.wYear - 1 : lastMonth.wYear);
    lastMonth.wMonth = static_cast<WORD>(lastMonth.wMonth == 1 ? 12 : lastMonth.wMonth - 1);
    SYSTEMTIME sameDayLastMonth = lastMonth;
    sameDayLastMonth.wDay = std::min<WORD>(sameDayLastMonth.wDay, 28);
    lastMonth.wDay = 28;
    struct Case
    {
        const char* name;
        std::optional<FILETIME> lastWrite; // none: as just written
        bool downloaded;
    };
    const Case cases[] = {
        {"just written", std::nullopt, false},
        {"early today", FromLocal(TodayAt(0, 0, 1)), false},
        {"yesterday", ShiftedByHours(todayNoon, -24), true},
        {"tomorrow", ShiftedByHours(todayNoon, 24), true},
        {"on the 28th of last month", FromLocal(lastMonth), true},
        {"on this day of last month", FromLocal(sameDayLastMonth), true},
    };
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.name);
        Reset();
        RegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath).SetString(L"ver_upd_not_day", TodayToken());
        WriteBytes(listPath, old);
        if (test.lastWrite)
            SetLastWriteTime(listPath, *test.lastWrite);
        EXPECT_EQ(IsWrittenToday(listPath), !test.downloaded);
        ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));

        EXPECT_EQ(Scripts(),
                  test.downloaded ? std::vector<std::wstring>{L"get_merchant.php"} : std::vector<std::wstring>{});
        EXPECT_EQ(ReadBytes(listPath) == served, test.downloaded);
        EXPECT_EQ(Shared().mainDone, 1);
        EXPECT_EQ(Shared().mainRunning, 0);
        EXPECT_TRUE(IsWrittenToday(listPath));
    }
}

TEST_F(WorkerTest, FailedDownloadKeepsTheOldListByteForByteAndLeavesDoneAt0)
{
    static constexpr char kOld[] = "old|1<br>\r\n\xff\x00tail";
    const std::string old(kOld, sizeof(kOld) - 1);
    const char* const controls[] = {
        "scenario?set=drop&path=get_merchant.php",
        "scenario?set=truncate&path=get_merchant.php",
        "scenario?set=error&code=500&path=get_merchant.php",
        "scenario?set=error&code=503&keep=1&path=get_merchant.php", // the whole list, but not a 2xx
        "scenario?set=htmlcut&path=get_merchant.php",
        "fixture?merchant_reply=",
    };
    MessageBoxDriver errors(L"Error");
    for (const char* control : controls)
    {
        SCOPED_TRACE(control);
        Reset();
        RegistryKey(HKEY_CURRENT_USER, kSettingsKeyPath).SetString(L"ver_upd_not_day", TodayToken());
        WriteBytes(listPath, old);
        SetLastWriteTime(listPath, ShiftedByHours(FromLocal(TodayAt(12, 0, 0)), -24));
        Shared().mainDone = 1;
        Control(NarrowToWide(control));
        ASSERT_TRUE(RunToCompletion(&MainWorker, MainContext()));

        EXPECT_GE(StandinRequestCount(L"get_merchant.php"), 1);
        EXPECT_EQ(ReadBytes(listPath), old);
        EXPECT_EQ(Shared().mainDone, 0);
        EXPECT_EQ(Shared().mainRunning, 0);
        EXPECT_EQ(TemporaryFiles(), std::vector<std::wstring>{});
    }
    EXPECT_EQ(errors.Seen(), std::vector<std::wstring>{}) << "a failed download shows nothing";
}

TEST_F(WorkerTest, TwoRunsAtOnceLeaveTheListAndTheAccountStoresWhole)
{
    Control(L"fixture?shops=3000");
    const std::string served = StandinShopList();
    Control(L"log/clear");
    StoreAccount(kDemoEmail, DemoDigest());
    // Both runs learn of a change at the same moment, each of a different one.
    const Account first{L"first@example.com", L"11111111111111111111111111111111"};
    const Account second{L"second@example.com", L"22222222222222222222222222222222"};
    Control(L"scenario?set=password_changed&form=2&times=1&digest=" + first.digest + L"&new_email=" +
            UrlEncode(first.email));
    Control(L"fixture?pwd_reply=" + UrlEncode(L"2|" + second.digest + L"|" + second.email));
    Control(L"scenario?set=slow&seconds=1&path=pwd_change_verify.php,get_merchant.php");

    BackgroundRun one(&MainWorker, MainContext());
    BackgroundRun other(&MainWorker, MainContext());
    ASSERT_TRUE(one.Wait());
    ASSERT_TRUE(other.Wait());

    EXPECT_EQ(StandinRequestCount(L"pwd_change_verify.php"), 2);
    EXPECT_EQ(StandinRequestCount(L"get_merchant.php"), 2);
    EXPECT_EQ(ReadBytes(listPath), served);
    EXPECT_EQ(TemporaryFiles(), std::vector<std::wstring>{});
    const Account ini = IniAccount();
    EXPECT_TRUE(ini == first || ini == second) << testing::PrintToString(ini);
    EXPECT_EQ(RegistryAccount(), ini) << "the INI file and the registry hold the same pair";
    EXPECT_EQ(Shared().mainDone, 1);
    EXPECT_EQ(Shared().mainRunning, 0);
}

TEST_F(WorkerTest, StartedWorkersRunToTheEndOnThreadsOfTheirOwn)
{
    StoreAccount(kDemoEmail, DemoDigest());
    Control(L"scenario?set=notice&text=Started");
    SharedBlock& shared = Shared();
    // The notice first: it is fetched only until the main worker has verified the account.
    StartNoticeWorker();
    EXPECT_TRUE(WaitUntil([&] { return shared.noticeDone == 1 && shared.noticeRunning == 0; }, kRunLimit));
    StartMainWorker(0);
    EXPECT_TRUE(WaitUntil([&] { return shared.mainDone == 1 && shared.mainRunning == 0; }, kRunLimit));
    EXPECT_EQ(shared.signedIn, 1);
    EXPECT_EQ(LoadSharedText(shared.noticeText), L"Started");
    EXPECT_EQ(StandinRequestCount(L"check_version.php"), 1);
    EXPECT_EQ(ReadBytes(listPath), StandinShopList());
}

TEST_F(WorkerTest, NoticeWorkerStoresANoticeOnlyForAnUnverifiedAccount)
{
    const std::wstring longNotice = std::wstring(250, L'N') + L"|tail|";
    struct Case
    {
        const char* name;
        std::wstring control;
        LONG signedIn;
        bool account;
        bool requested;
        std::optional<std::wstring> stored;
    };
    const Case cases[] = {
        {"notice holding separators", L"scenario?set=notice", 0, true, true,
         L"Welcome to Quillbury | sign in to see your cashback | it's free"},
        {"long notice", L"scenario?set=notice&text=" + UrlEncode(longNotice), 0, true, true, longNotice.substr(0, 254)},
        {"one separator only", L"fixture?notice_reply=1%7cx", 0, true, true, std::nullopt},
        {"other first field", L"fixture?notice_reply=11%7cx%7ctext", 0, true, true, std::nullopt},
        {"connection dropped", L"scenario?set=drop&path=check_notice.php", 0, true, true, std::nullopt},
        {"verified account", L"scenario?set=notice", 1, true, false, std::nullopt},
        {"no account", L"scenario?set=notice", 0, false, false, std::nullopt},
    };
    MessageBoxDriver errors(L"Error");
    for (const auto& test : cases)
    {
        SCOPED_TRACE(test.name);
        Reset();
        if (test.account)
            StoreAccount(kDemoEmail, DemoDigest());
        SharedBlock& shared = Shared();
        shared.signedIn = test.signedIn;
        Control(test.control);
        const std::time_t before = std::time(nullptr);
        ASSERT_TRUE(RunToCompletion(&NoticeWorker, NoticeContext()));
        const std::time_t after = std::time(nullptr);

        const auto urls = ServiceRequests();
        EXPECT_EQ(!urls.empty(), test.requested);
        if (!urls.empty())
        {
            const std::wstring nonce = QueryValue(urls[0], L"y");
            EXPECT_EQ(NoncesBetween(before, after).count(nonce), 1u);
            EXPECT_EQ(urls[0], kScripts + L"check_notice.php?y=" + nonce + L"&t=demo%40example.com&m=" + DemoDigest() +
                                   L"&d=" + nonce + L"&f=" + nonce + L"&PID=QLBY");
        }
        EXPECT_EQ(shared.noticeDone, test.stored ? 1 : 0);
        EXPECT_EQ(LoadSharedText(shared.noticeText), test.stored.value_or(L""));
        EXPECT_EQ(shared.noticeText[254], L'\0');
        EXPECT_EQ(shared.noticeRunning, 0);
        EXPECT_EQ(shared.signedIn, test.signedIn);
    }
    EXPECT_EQ(errors.Seen(), std::vector<std::wstring>{}) << "the notice worker never shows a message";
}
} // namespace
