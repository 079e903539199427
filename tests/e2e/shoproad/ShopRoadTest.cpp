// The road of a shop visit with nothing faked but the browser: the registered DLL in a clean prefix, the
// stand-in service behind the proxy. The host shows the band and creates the helper object; the helper
// starts the idle main worker, which downloads the shop list; the toolbar's timer loads it; a visit to a
// shop's product page gets the cashback popup at the top of its body. The page as a user would get it is
// written out for the Chromium half of the road (click.mjs), which clicks the popup's link.
//
// Both forms of the redirect link are driven: signed out (shop 1000) and signed in with an account the
// service verifies (shop 1003). A popup is shown once per shop and process, hence two shops.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "core/Text.h"
#include "host/MessagePump.h"
#include "host/TestBrowserHost.h"
#include "host/WindowCapture.h"
#include "module/Guids.h"
#include "module/ProcessObjects.h"
#include "net/ServiceUrls.h"
#include "resources/resource.h"
#include "settings/AccountStore.h"
#include "settings/Registry.h"
#include "settings/VistaSupport.h"
#include "support/AddonRegistration.h"
#include "support/MessageBoxDriver.h"
#include "win/net/StandinClient.h"

namespace
{
using testhost::PumpMessagesFor;
using testhost::PumpUntil;
using testhost::TestBrowserHost;

constexpr int kApprovedButton = 18;
constexpr int kPendingButton = 19;
constexpr DWORD kWorkerDeadline = 30000;
// The toolbar's timer ticks every 5 s; the list is loaded at the first tick after the worker is done.
constexpr DWORD kTimerDeadline = 15000;

const std::wstring kPagePath = L"/products/kettle?colour=red&size=2";
const std::wstring kEncodedPagePath = L"%2fproducts%2fkettle%3fcolour%3dred%26size%3d2";

// A product page as a shop serves it (the body only; the host's document holds no head).
const std::wstring kKettlePage =
    LR"(<div id="masthead"><a href="/"><img src="/img/logo.png" alt="Shop Example" width="160" height="40"></a>
<form id="search" action="/search" method="get"><input type="text" name="q" value="" placeholder="Search the shop"><button type="submit">Search</button></form>
<a id="basket" href="/basket">Basket (0)</a></div>
<ul id="crumbs"><li><a href="/">Home</a></li><li><a href="/kitchen/">Kitchen</a></li><li>Kettles</li></ul>
<div id="product" class="product">
<h1>Brushed steel kettle 1.7 l</h1>
<p class="price">&pound;24.99 <del>&pound;29.99</del></p>
<form id="buy" action="/basket/add" method="post">
<label>Colour <select name="colour"><option selected>red</option><option>cream</option><option>black</option></select></label>
<label>Size <input name="size" value="2" size="2"></label>
<button type="submit">Add to basket</button>
</form>
<p>Rapid boil, 3 kW, washable limescale filter, 360&deg; base.</p>
</div>
<div id="footer">&copy; Shop Example Ltd &middot; <a href="/delivery">Delivery</a> &middot; <a href="/returns">Returns</a></div>)";

struct RoadCase
{
    const wchar_t* name;  // file name stem of the outputs
    const wchar_t* email; // stored account; empty: signed out
    const wchar_t* password;
    const wchar_t* origin; // the shop's site, as the browser shows it
    const wchar_t* shopId; // the shop's identifier in the stand-in's list
};

const RoadCase kSignedOut{L"shoproad", L"", L"", L"http://www.shop.example", L"1000"};
const RoadCase kSignedIn{L"shoproad-signedin", L"demo@example.com", L"cashback", L"http://www.testshop.co.uk", L"1003"};

// Where the outputs go: QB_E2E_OUT (a Unix path is reached through Wine's drive Z:) or the current folder.
std::wstring OutputFolder()
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"QB_E2E_OUT", value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return L".";
    std::wstring folder(value, length);
    if (folder.starts_with(L"/"))
    {
        folder = L"Z:" + folder;
        for (wchar_t& letter : folder)
            if (letter == L'/')
                letter = L'\\';
    }
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void ResetSharedBlock()
{
    SharedBlock& shared = Shared();
    shared.noticeDone = 0;
    shared.noticeRunning = 0;
    shared.noticeShown = 0;
    shared.mainDone = 0;
    shared.mainRunning = 0;
    shared.wrongPasswordPending = 0;
    shared.notRegisteredPending = 0;
    shared.signedIn = 0;
    shared.verifyNumber = 0;
    StoreSharedText(shared.approvedText, L"");
    StoreSharedText(shared.pendingText, L"");
    StoreSharedText(shared.noticeText, L"");
}

bool WorkersIdle()
{
    return Shared().mainRunning == 0 && Shared().noticeRunning == 0;
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::wstring Unescaped(std::wstring text)
{
    for (size_t at = text.find(L"&amp;"); at != std::wstring::npos; at = text.find(L"&amp;", at + 1))
        text.erase(at + 1, 4);
    return text;
}

// Every href of the HTML, as written (entities left in).
std::vector<std::wstring> Hrefs(const std::wstring& html)
{
    std::vector<std::wstring> found;
    const std::wregex href(LR"(href="([^"]*)\")");
    for (std::wsregex_iterator at(html.begin(), html.end(), href), end; at != end; ++at)
        found.push_back((*at)[1].str());
    return found;
}

// The script library as the loaded DLL carries it.
std::wstring AddonScriptLibrary()
{
    const HMODULE addon = GetModuleHandleW(L"Quillbury.dll");
    const HRSRC found =
        addon ? FindResourceW(addon, MAKEINTRESOURCEW(IDR_POPUP_SCRIPT), MAKEINTRESOURCEW(RT_POPUP_RESOURCE)) : nullptr;
    const HGLOBAL loaded = found ? LoadResource(addon, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return bytes ? NarrowToWide(std::string(bytes, SizeofResource(addon, found))) : std::wstring();
}

// The request nonces of the local times from `from` to `to` (seconds), as the add-on makes them.
std::set<std::wstring> NoncesBetween(std::time_t from, std::time_t to)
{
    std::set<std::wstring> nonces;
    for (std::time_t second = from; second <= to; ++second)
    {
        std::tm local{};
        localtime_s(&local, &second);
        nonces.insert(RequestNonceFor(local));
    }
    return nonces;
}

class ShopRoadTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ASSERT_NE(StandinPort(), 0) << "run under tools/standin/with_standin.py";
        ASSERT_EQ(RunRegsvr32(L"/s"), 0u);
    }

    void SetUp() override
    {
        // A clean start: no shop list, no account, the shared block as a first browser process finds it.
        StandinControl(L"reset?log=1");
        ResetSharedBlock();
        DeleteKeyTree(HKEY_CURRENT_USER, kSettingsKeyPath);
        DeleteFileW(DataFilePath(L"config.ini").c_str());
        DeleteFileW(DataFilePath(L"get_merchant.txt").c_str());
    }

    void TearDown() override
    {
        host.reset();
        // Nothing may be left running into the next road.
        EXPECT_TRUE(PumpUntil(WorkersIdle, kWorkerDeadline));
        ResetSharedBlock();
    }

    std::wstring ButtonText(int command) const
    {
        wchar_t text[64] = {};
        TBBUTTONINFOW info{};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_TEXT;
        info.pszText = text;
        info.cchText = 64;
        SendMessageW(toolbar, TB_GETBUTTONINFOW, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&info));
        return text;
    }

    void Drive(const RoadCase& road);

    std::unique_ptr<TestBrowserHost> host;
    HWND toolbar = nullptr;
};

void ShopRoadTest::Drive(const RoadCase& road)
{
    const bool signedIn = *road.email != L'\0';
    const std::wstring digest = signedIn ? PasswordDigest(road.password) : std::wstring();
    if (signedIn)
        WriteIniCredentials(road.email, digest);
    MessageBoxDriver errors(L"Error");
    MessageBoxDriver reports(L"Quillbury");
    MessageBoxDriver alerts(L"Quillbury Alert");

    // The tab opens: the band first, then the helper object, as the browser creates its guests.
    host = std::make_unique<TestBrowserHost>(testhost::HostOptions{true, 1280, 300});
    ASSERT_EQ(host->ShowBand(kBandClsid), S_OK);
    toolbar = host->Browser().BandWindow();
    ASSERT_NE(toolbar, nullptr);
    ASSERT_EQ(host->Browser().CreateHelperObject(kHelperClsid), S_OK);

    // Before the toolbar has its shop list, a shop's page gets nothing and is not recorded.
    const std::wstring pageUrl = std::wstring(road.origin) + kPagePath;
    const auto early = host->Browser().Visit(pageUrl, kKettlePage);
    ASSERT_TRUE(early);
    EXPECT_EQ(early->BodyHtml(), kKettlePage);
    EXPECT_TRUE(early->Scripts().empty());

    // The idle main worker fetches the list into the data folder.
    ASSERT_TRUE(PumpUntil([] { return Shared().mainDone == 1 && WorkersIdle(); }, kWorkerDeadline))
        << "mainDone " << Shared().mainDone << ", mainRunning " << Shared().mainRunning;
    EXPECT_EQ(StandinRequestCount(L"/k3tq8w2m/get_merchant.php?PID=QLBY"), 1);
    EXPECT_EQ(ReadFileBytes(DataFilePath(L"get_merchant.txt")).rfind("http://www.shop.example/|1000<br>", 0), 0u);
    EXPECT_EQ(StandinRequestCount(L"cashback_verify.php"), signedIn ? 1 : 0);
    EXPECT_EQ(Shared().signedIn, signedIn ? 1 : 0);

    // The timer's first tick after that loads the list and shows the cashback amounts.
    ASSERT_TRUE(PumpUntil([&] { return ButtonText(kApprovedButton) != L"\u00a3 0.00"; }, kTimerDeadline));
    if (signedIn)
    {
        EXPECT_EQ(ButtonText(kApprovedButton), L"12.50\u00a3");
        EXPECT_EQ(ButtonText(kPendingButton), L"\u20ac3.00");
    }
    PumpMessagesFor(200);

    // A page of some other site: no popup.
    const auto other = host->Browser().Visit(L"http://news.example.org/today?page=2", L"<p>Headlines</p>");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->BodyHtml(), L"<p>Headlines</p>");
    EXPECT_TRUE(other->Scripts().empty());

    // The shop's product page: the popup at the top of the body, the library run with the show call.
    const std::time_t before = std::time(nullptr);
    const auto page = host->Browser().Visit(pageUrl, kKettlePage);
    const std::time_t after = std::time(nullptr);
    ASSERT_TRUE(page);
    const std::wstring body = page->BodyHtml();
    ASSERT_EQ(body.rfind(L"<div id=\"popupdiv\"", 0), 0u) << body.substr(0, 200);
    ASSERT_TRUE(body.ends_with(kKettlePage)) << "the page follows the popup unchanged";
    const auto scripts = page->Scripts();
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0].language, L"JavaScript");
    const std::wstring library = AddonScriptLibrary();
    ASSERT_GT(library.size(), 1000u);
    EXPECT_TRUE(scripts[0].code == library + L"Popup.show('popupdiv')") << "the library, then the show call";
    EXPECT_TRUE(host->Browser().Navigations().empty()) << "nothing navigates until the user clicks";

    // The popup's two links are the redirect link of the shop and the page, in the signed-in or out form.
    const std::wstring popup = body.substr(0, body.size() - kKettlePage.size());
    std::vector<std::wstring> links;
    for (const std::wstring& href : Hrefs(popup))
        if (href != L"#")
            links.push_back(Unescaped(href));
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0], links[1]);
    std::wsmatch nonce;
    ASSERT_TRUE(std::regex_search(links[0], nonce, std::wregex(L"\\?y=([0-9a-f]{32})&"))) << links[0];
    EXPECT_EQ(NoncesBetween(before, after).count(nonce[1].str()), 1u) << "MD5 of the local time text";
    const std::wstring encodedPage = L"http%3a%2f%2f" + std::wstring(road.origin).substr(7) + kEncodedPagePath;
    const std::wstring expected = signedIn ? ServiceBaseUrl() + L"k3tq8w2m/tb.php?y=" + nonce[1].str() +
                                                 L"&t=demo%40example.com&m=" + digest + L"&i=" + road.shopId + L"&f=" +
                                                 nonce[1].str() + L"&curr_url=" + encodedPage + L"&PID=QLBY"
                                           : ServiceBaseUrl() + L"go/?y=" + nonce[1].str() + L"&t=&m=&i=" +
                                                 road.shopId + L"&f=" + nonce[1].str() + L"&curr_url=" + encodedPage;
    EXPECT_EQ(links[0], expected);

    // A picture of the tab as it is now: the toolbar with the amounts, the shop's page below.
    const std::wstring folder = OutputFolder();
    EXPECT_TRUE(testhost::SaveWindowBitmap(host->FrameWindow(), folder + L"\\" + road.name + L"-tab.png"));

    // Once per shop and process: the next page of the shop is left alone.
    const auto again = host->Browser().Visit(std::wstring(road.origin) + L"/basket", L"<p>Your basket</p>");
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->Scripts().empty());

    // The page a user would now see, for the browser-engine half of the road.
    const std::wstring captured = folder + L"\\" + road.name + L"-captured.html";
    ASSERT_TRUE(page->WriteCapturedPage(captured)) << "cannot write " << WideToNarrow(captured);
    std::printf("captured page: %ls\n", captured.c_str());
    std::fflush(stdout);

    EXPECT_TRUE(errors.Seen().empty()) << WideToNarrow(errors.Seen().front());
    EXPECT_TRUE(reports.Seen().empty()) << WideToNarrow(reports.Seen().front());
    EXPECT_TRUE(alerts.Seen().empty());
}

TEST_F(ShopRoadTest, SignedOutVisitGetsThePopupWithTheAnonymousLink)
{
    Drive(kSignedOut);
}

TEST_F(ShopRoadTest, SignedInVisitGetsThePopupWithTheAccountLink)
{
    Drive(kSignedIn);
}
} // namespace
