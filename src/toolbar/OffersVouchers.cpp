// Offers and vouchers: the request, the menus and the drop-down decision. The parsing rules live in the portable
// OfferParsing.cpp.
#include "toolbar/OffersVouchers.h"

#include <optional>
#include <vector>

#include "core/Errors.h"
#include "net/ServiceRequests.h"
#include "net/ServiceUrls.h"
#include "net/WinHttpClient.h"

namespace
{
constexpr SourceLocation kCreateMenuFailed{L"OffersVouchers", 41};
constexpr SourceLocation kAppendMenuFailed{L"OffersVouchers", 48};

std::wstring FetchBody(const std::wstring& address)
{
    WinHttpClient client(address);
    client.SetUserAgent(L"Mozilla/4.0");
    if (!client.Send(L"GET"))
        return {};
    const std::wstring body = client.ResponseText();
    return body.empty() ? body : ExtractBody(body);
}

// A title as a menu item shows it: "&" marks a mnemonic there, so a literal one is doubled.
std::wstring MenuText(const std::wstring& title)
{
    std::wstring text;
    for (const wchar_t c : title)
        text.append(c == L'&' ? 2 : 1, c);
    return text;
}

// Items get the ids from firstId to lastId; titles past that range are left out, since a command id must stay
// in its own range and within the 16 bits a menu's WM_COMMAND carries.
MenuHandle BuildMenu(const std::vector<std::wstring>& titles, int firstId, int lastId)
{
    if (titles.empty())
        return {};
    MenuHandle bar(CreateMenu());
    if (!bar)
        throw AtLocation(LastWindowsError(), kCreateMenuFailed);
    MenuHandle popup(CreatePopupMenu());
    if (!popup)
        throw AtLocation(LastWindowsError(), kCreateMenuFailed);
    UINT_PTR id = static_cast<UINT_PTR>(firstId);
    for (size_t n = 0; n < titles.size() && id <= static_cast<UINT_PTR>(lastId); ++n)
    {
        if (!AppendMenuW(popup.Get(), MF_STRING, id++, MenuText(titles[n]).c_str()))
            throw AtLocation(LastWindowsError(), kAppendMenuFailed);
    }
    if (!AppendMenuW(bar.Get(), MF_POPUP, reinterpret_cast<UINT_PTR>(popup.Get()), L"PopupMenu"))
        throw AtLocation(LastWindowsError(), kAppendMenuFailed);
    static_cast<void>(popup.Detach()); // the bar owns it now and destroys it with itself
    return bar;
}

DropDownDecision EmptyMenu()
{
    return {};
}

// Steps shared by both drop-downs; Fetch, Parse and Build are the offer or voucher versions.
template <class List, class Fetch, class Parse, class Build>
DropDownDecision Decide(const ShopList& shops, const std::wstring& pageUrl, bool signedIn, List& list, Fetch fetch,
                        Parse parse, Build build)
{
    if (!shops.IsLoaded())
        return EmptyMenu();
    const std::optional<ShopRecord> shop = FindShop(shops, pageUrl);
    if (!shop)
        return EmptyMenu();
    std::wstring answer = fetch(shop->shopId);
    if (!signedIn)
    {
        // Signed-out users are sent to the page the service names; anything but a web address (a script
        // address would run inside the page being shown, empty text would blank it) shows the empty menu.
        if (!IsWebAddress(answer))
            return EmptyMenu();
        DropDownDecision decision;
        decision.kind = DropDownDecision::Navigate;
        decision.url = std::move(answer);
        return decision;
    }
    ClearList(list);
    parse(list, answer);
    DropDownDecision decision;
    decision.menu = build(list);
    if (decision.menu)
        decision.kind = DropDownDecision::ShowMenu;
    return decision;
}
} // namespace

std::wstring FetchOffers(const std::wstring& shopId)
{
    return FetchBody(service_urls::Offers(shopId));
}

std::wstring FetchVouchers(const std::wstring& shopId)
{
    return FetchBody(service_urls::Vouchers(shopId));
}

MenuHandle BuildOfferMenu(const OfferList& list)
{
    return BuildMenu(list.titles, kFirstOfferCommand, kLastOfferCommand);
}

MenuHandle BuildVoucherMenu(const VoucherList& list)
{
    return BuildMenu(list.titles, kFirstVoucherCommand, kLastVoucherCommand);
}

std::wstring OfferLink(const OfferList& list, int n)
{
    const std::wstring* id = OfferIdAt(list, n);
    if (!id)
        return {};
    return service_urls::ChosenOffer(RequestNonce(), StoredAccount(), SignedIn(), *id);
}

std::wstring VoucherLink(const VoucherList& list, int n)
{
    const std::wstring* id = VoucherIdAt(list, n);
    if (!id)
        return {};
    return service_urls::ChosenVoucher(RequestNonce(), StoredAccount(), SignedIn(), *id);
}

DropDownDecision DecideOffersDropDown(const ShopList& shops, const std::wstring& pageUrl, bool signedIn,
                                      OfferList& list)
{
    return Decide(shops, pageUrl, signedIn, list, FetchOffers, ParseOffers, BuildOfferMenu);
}

DropDownDecision DecideVouchersDropDown(const ShopList& shops, const std::wstring& pageUrl, bool signedIn,
                                        VoucherList& list)
{
    return Decide(shops, pageUrl, signedIn, list, FetchVouchers, ParseVouchers, BuildVoucherMenu);
}
