#include "toolbar/SearchToolBar.h"

#include <mshtml.h>

#include "browser/PopupInjector.h"
#include "core/ErrorReport.h"
#include "module/Module.h"
#include "module/ProcessObjects.h"
#include "module/UserSetup.h"
#include "net/ServiceRequests.h"
#include "net/ServiceUrls.h"
#include "resources/resource.h"
#include "settings/AccountLock.h"
#include "settings/AccountStore.h"
#include "settings/VistaSupport.h"
#include "toolbar/LoginDialog.h"
#include "toolbar/ShopListFile.h"
#include "workers/MainWorker.h"
#include "workers/NoticeWorker.h"

namespace
{
constexpr SourceLocation kMenuMissing{L"SearchToolBar", 301};

constexpr wchar_t kAlreadyRegisteredText[] =
    L"You are already registered with Quillbury.\nPlease enter your correct password or if you would\n"
    L"like to reset it, click YES.";
constexpr wchar_t kMustRegisterText[] =
    L"You must be registered in order to take advantage of cashback. Click YES to register.";
constexpr wchar_t kZeroCashback[] = L"\u00a3 0.00";

constexpr BYTE kShowText = BTNS_AUTOSIZE | BTNS_SHOWTEXT;
constexpr BYTE kDropDown = kShowText | BTNS_WHOLEDROPDOWN;

HMENU LoadMenuResource(int id)
{
    return LoadMenuW(ModuleInstance(), MAKEINTRESOURCEW(id));
}
} // namespace

SearchToolBar::SearchToolBar(BandServices& band, HWND parent)
    : ToolBar(parent, static_cast<int>(Process().displayScale.vertical), L"Quillbury Toolbar"), owner(band)
{
    const float horizontal = Process().displayScale.horizontal;
    LoadButtonImages();

    auto logoInfo = std::make_unique<LogoButtonInfo>();
    InitLogoButtonInfo(*logoInfo);
    logoWindow = SetLogoButton(std::move(logoInfo));
    searchBox = AddEditBox(static_cast<int>(200.0f * horizontal));

    constexpr ToolBarItem kSeparator{nullptr, nullptr, 0, BTNS_SEP};
    AddItems({
        {L"Search", L"Search Quillbury", 2, kShowText},
        kSeparator,
        {L"My Account", L"My Account", 3, kShowText},
        kSeparator,
        {L"Offers", L"Offers available for the current website at Quillbury", 10, kDropDown},
        {L"Vouchers", L"Vouchers available for the current website at Quillbury", 12, kDropDown},
        kSeparator,
        {L"Hot Deals", L"Check hottest shops, vouchers and offers at Quillbury", 14, kDropDown},
        {L"Free Cashback", L"Free Cashback", 13, kShowText},
        kSeparator,
        {L"Twitter", L"Follow us on Twitter", 1, kShowText},
        {L"Facebook", L"Like us on Facebook", 0, kShowText},
        kSeparator,
        {L"Settings", L"Enter username and password", 5, kShowText},
        kSeparator,
        {L"Approved Cashback", L"Quick view of your approved cashback", 15, kShowText},
        {L"Pending Cashback", L"Quick view of your pending cashback", 16, kShowText},
    });
    SetButtonText(kApprovedCashback, kZeroCashback);
    SetButtonText(kPendingCashback, kZeroCashback);

    RECT last{};
    SendMessageW(Window(), TB_GETRECT, kPendingCashback, reinterpret_cast<LPARAM>(&last));
    idealWidth = last.right;
    const auto buttonSize = static_cast<DWORD>(SendMessageW(Window(), TB_GETBUTTONSIZE, 0, 0));
    bandHeight = HIWORD(buttonSize) + 2 * BarPadding();

    // The user's own part of the setup, which no installer may have done for this user. Then, at every start,
    // the lasting copy of the account (INI) overwrites the working copy (registry).
    RunUserSetup(kWindowLockWait);
    {
        const AccountWriteLock lock(kWindowLockWait);
        std::wstring email, password;
        ReadIniCredentials(email, password);
        WriteRegistryCredentials(email, password);
    }

    SetTimer(Window(), kRefreshTimer, kRefreshPeriod, nullptr);
}

SearchToolBar::~SearchToolBar()
{
    if (Window())
        KillTimer(Window(), kRefreshTimer);
    DestroyWindows();
}

void SearchToolBar::SetButtonText(int commandId, const std::wstring& text)
{
    std::wstring copy = text;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = copy.data();
    SendMessageW(Window(), TB_SETBUTTONINFOW, static_cast<WPARAM>(commandId), reinterpret_cast<LPARAM>(&info));
}

void SearchToolBar::OnSetFocus()
{
    if (const ComPtr<IInputObjectSite> site = owner.GetInputObjectSite())
        site->OnFocusChangeIS(owner.BandUnknown(), TRUE);
    SendMessageW(searchBox, EM_SETSEL, 0, -1);
}

void SearchToolBar::OnKillFocus()
{
    if (const ComPtr<IInputObjectSite> site = owner.GetInputObjectSite())
        site->OnFocusChangeIS(owner.BandUnknown(), FALSE);
}

bool SearchToolBar::OnEditChange(HWND)
{
    return false;
}

HBRUSH SearchToolBar::OnCtlColorEdit(HDC, HWND)
{
    return editBrush.Get(); // empty: the system colours stay
}

bool SearchToolBar::OnAccelerator(int commandId)
{
    if (commandId != ID_SEARCH_ACCELERATOR)
        return false;
    RunSearch();
    return true;
}

void SearchToolBar::RunSearch()
{
    const std::wstring text = owner.GetSearchText();
    if (!text.empty())
        owner.Navigate(service_urls::SearchPage(text));
}

bool SearchToolBar::OnCommand(int commandId)
{
    switch (commandId)
    {
    case kLogo:
        owner.Navigate(service_urls::HomePage());
        return true;
    case kSearch:
        RunSearch();
        return true;
    case kMyAccount:
        owner.Navigate(service_urls::AccountPage(RequestNonce(), StoredAccount()));
        return true;
    case kFreeCashback:
        owner.Navigate(service_urls::FreeCashbackPage());
        return true;
    case kTwitter:
        owner.Navigate(TwitterPageUrl());
        return true;
    case kFacebook:
        owner.Navigate(FacebookPageUrl());
        return true;
    case kSettings:
        RunLoginFlow();
        return true;
    default:
        return false; // the cashback amounts are for reading only
    }
}

bool SearchToolBar::AskToResetPassword()
{
    const std::weak_ptr<const int> alive = Lifetime();
    const int answer = MessageBoxW(nullptr, kAlreadyRegisteredText, L"Error", MB_YESNO | MB_ICONERROR);
    if (alive.expired())
        return false;
    if (answer == IDYES)
        owner.Navigate(service_urls::PasswordReminderPage());
    return true;
}

bool SearchToolBar::AskToRegister()
{
    const std::weak_ptr<const int> alive = Lifetime();
    const int answer = MessageBoxW(nullptr, kMustRegisterText, L"Error", MB_YESNO | MB_ICONERROR);
    if (alive.expired())
        return false;
    if (answer == IDYES)
        owner.Navigate(service_urls::RegistrationPage());
    return true;
}

void SearchToolBar::RunLoginFlow()
{
    const std::weak_ptr<const int> alive = Lifetime();
    LoginDialogData data;
    const int result = OpenLoginDialog(data, Window());
    if (alive.expired())
        return;
    if (result == kLoginAccepted)
    {
        VerifyNewAccount();
        return;
    }
    if (result == 3)
        owner.Navigate(service_urls::RegistrationPage());
    else if (result == 0 &&
             !(LoginAlreadyRegistered() ? AskToResetPassword() : !LoginNotRegistered() || AskToRegister()))
        return; // the toolbar went while its question was open
    StartIdleWorkersIfSignedOut();
}

// A main run verifies the account just stored (and publishes its amounts) however far this session's runs
// got; the timer waits for it and then shows what it found.
void SearchToolBar::VerifyNewAccount()
{
    SharedBlock& shared = Shared();
    shared.mainDone = 0;
    StartMainWorker(&shared.mainDone, &shared.mainRunning, 0);
    SetTimer(Window(), kRefreshTimer, kRefreshPeriod, nullptr);
}

void SearchToolBar::StartIdleWorkersIfSignedOut()
{
    SharedBlock& shared = Shared();
    if (shared.signedIn)
        return;
    if (shared.mainDone == 0 && shared.mainRunning == 0)
        StartMainWorker(&shared.mainDone, &shared.mainRunning, 0);
    if (shared.noticeDone == 0 && shared.noticeRunning == 0)
        StartNoticeWorker(&shared.noticeDone, &shared.noticeRunning);
}

HMENU SearchToolBar::ChooseMenu(int commandId, bool& navigated)
{
    navigated = false;
    if (commandId == kHotDeals)
        return LoadMenuResource(IDR_MENU_HOT_DEALS);
    if (commandId != kOffers && commandId != kVouchers)
        return LoadMenuResource(IDR_MENU_EMPTY);

    const bool offers = commandId == kOffers;
    const int emptyMenu = offers ? IDR_MENU_NO_OFFERS : IDR_MENU_NO_VOUCHERS;
    std::wstring pageUrl;
    if (shopList.IsLoaded())
    {
        const ComPtr<IWebBrowser2> browser = owner.GetWebBrowser();
        BSTR location = nullptr;
        if (SUCCEEDED(CheckedPointer(browser.Get())->get_LocationURL(&location)))
        {
            pageUrl = location ? std::wstring(location, SysStringLen(location)) : std::wstring();
            SysFreeString(location);
        }
        else
            return LoadMenuResource(emptyMenu);
    }
    DropDownDecision decision = offers ? DecideOffersDropDown(shopList, pageUrl, SignedIn(), offerList)
                                       : DecideVouchersDropDown(shopList, pageUrl, SignedIn(), voucherList);
    switch (decision.kind)
    {
    case DropDownDecision::Navigate:
        owner.Navigate(decision.url);
        navigated = true;
        return nullptr;
    case DropDownDecision::ShowMenu:
        return decision.menu.Detach();
    case DropDownDecision::ShowEmptyMenu:
    default:
        return LoadMenuResource(emptyMenu);
    }
}

bool SearchToolBar::OnDropDown(NMTOOLBARW* notification)
{
    const int commandId = notification ? notification->iItem : 0;
    bool navigated = false;
    MenuHandle menu(ChooseMenu(commandId, navigated));
    if (navigated)
        return true;
    if (!menu)
        menu.Reset(LoadMenuResource(IDR_MENU_EMPTY));
    const HMENU popup = menu ? GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup)
        throw AtLocation(LastWindowsError(), kMenuMissing);

    RECT rect = notification ? notification->rcButton : RECT{};
    MapWindowPoints(Window(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
    TPMPARAMS params{};
    params.cbSize = sizeof(params);
    params.rcExclude = rect;
    TrackPopupMenuEx(popup, TPM_VERTICAL, rect.left, rect.bottom, Window(), &params);
    return true;
}

bool SearchToolBar::OnMenuCommand(int commandId)
{
    if (commandId > 50000 && commandId < 60000)
    {
        ShowVoucherPopup(commandId - 50000);
        return true;
    }
    if (commandId > 60000 && commandId < 70000)
    {
        owner.Navigate(OfferLink(offerList, commandId - 60000));
        return true;
    }
    switch (commandId)
    {
    case ID_TOP_PRODUCTS:
        owner.Navigate(service_urls::HotDealsPage());
        return true;
    case ID_TOP_VOUCHERS:
        owner.Navigate(service_urls::TopVouchersPage());
        return true;
    case ID_TOP_CASHBACK:
        owner.Navigate(service_urls::TopShopsPage());
        return true;
    default:
        return false;
    }
}

void SearchToolBar::ShowVoucherPopup(int item)
{
    const std::wstring link = VoucherLink(voucherList, item);
    const std::wstring code = VoucherCode(voucherList, item);
    const ComPtr<IWebBrowser2> browser = owner.GetWebBrowser();
    ComPtr<IDispatch> document;
    if (!browser || FAILED(browser->get_Document(document.Receive())) || !document)
        return;
    PopupRequest request;
    if (!TryQueryInterface(document, request.document))
        return;
    request.preScript = L"Popup.hide('popupdiv');";
    request.templateId = IDR_VOUCHER_POPUP;
    request.replacements = {{L"%TARGET-URL-HERE%", link}, {L"%VOUCHER-CODE-HERE%", code}};
    request.scriptCall = L"Popup.showModal('popupvdiv');";
    static_cast<void>(InjectPopup(request)); // a page without a body simply gets no popup
}

void SearchToolBar::OnTimer(UINT_PTR timerId)
{
    if (timerId != kRefreshTimer)
        return;
    SharedBlock& shared = Shared();
    if (!shared.mainDone)
        return;
    KillTimer(Window(), kRefreshTimer);
    LoadShopList(shopList, DataFilePath(kShopListFileName));
    SetButtonText(kApprovedCashback, LoadSharedText(shared.approvedText));
    SetButtonText(kPendingCashback, LoadSharedText(shared.pendingText));
    if (shared.wrongPasswordPending)
    {
        shared.wrongPasswordPending = 0;
        if (!AskToResetPassword())
            return;
    }
    if (shared.notRegisteredPending)
    {
        shared.notRegisteredPending = 0;
        if (!AskToRegister())
            return;
    }
    if (shared.noticeShown == 0 && shared.noticeDone)
    {
        shared.noticeShown = 1;
        const std::wstring notice = LoadSharedText(shared.noticeText);
        MessageBoxW(nullptr, notice.c_str(), L"Quillbury Alert", MB_OK);
    }
}
