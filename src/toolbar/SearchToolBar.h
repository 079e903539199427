// SearchToolBar: the Quillbury toolbar. The logo, the search box and eleven buttons, what each of them
// does, the cashback amounts, and the messages the background workers leave in the shared block, shown by
// a 5-second timer once the main worker has the shop list ready.
#pragma once

#include "browser/BandServices.h"
#include "toolbar/OffersVouchers.h"
#include "toolbar/ShopList.h"
#include "toolbar/ToolBar.h"

class SearchToolBar final : public ToolBar
{
public:
    // Builds the items; throws what ToolBar throws.
    SearchToolBar(BandServices& band, HWND parent);
    virtual ~SearchToolBar();

    [[nodiscard]] HWND SearchBox() const noexcept { return searchBox; }
    [[nodiscard]] HWND LogoWindow() const noexcept { return logoWindow; }
    [[nodiscard]] int BandHeight() const noexcept { return bandHeight; }
    [[nodiscard]] int IdealWidth() const noexcept { return idealWidth; }
    [[nodiscard]] const ShopList& Shops() const noexcept { return shopList; }
    [[nodiscard]] ShopList& Shops() noexcept { return shopList; }

    // Command ids of the buttons, fixed by their order.
    enum Command : int
    {
        kLogo = 1,
        kSearch = 3,
        kMyAccount = 5,
        kOffers = 7,
        kVouchers = 8,
        kHotDeals = 10,
        kFreeCashback = 11,
        kTwitter = 13,
        kFacebook = 14,
        kSettings = 16,
        kApprovedCashback = 18,
        kPendingCashback = 19,
    };
    static constexpr UINT_PTR kRefreshTimer = 1;
    static constexpr UINT kRefreshPeriod = 5000; // ms

    // Handlers (public so tests can drive them as the window procedures do).
    void OnSetFocus() override;
    void OnKillFocus() override;
    bool OnCommand(int commandId) override;
    bool OnDropDown(NMTOOLBARW* notification) override;
    bool OnMenuCommand(int commandId) override;
    bool OnAccelerator(int commandId) override;
    bool OnEditChange(HWND window) override;
    void OnTimer(UINT_PTR timerId) override;
    HBRUSH OnCtlColorEdit(HDC dc, HWND control) override;

private:
    void RunSearch();
    void RunLoginFlow();
    void StartIdleWorkersIfSignedOut();
    void VerifyNewAccount();
    void SetButtonText(int commandId, const std::wstring& text);
    // Each asks, and follows a "yes" to its page; false when the toolbar went while the question was open.
    bool AskToResetPassword();
    bool AskToRegister();
    HMENU ChooseMenu(int commandId, bool& navigated);
    void ShowVoucherPopup(int item);

    BandServices& owner;
    HWND logoWindow = nullptr;
    HWND searchBox = nullptr;
    int bandHeight = 20;
    int idealWidth = -1;
    BrushHandle editBrush;
    ShopList shopList;
    VoucherList voucherList;
    OfferList offerList;
};
