// The Offers and Vouchers drop-downs of the toolbar: fetching the current shop's items from the service, the
// menus built from them, the addresses of a chosen item, and the whole decision of what a drop-down does.
// Everything runs on the toolbar's user-interface thread; the fetch is synchronous while the button is down.
#pragma once

#include <windows.h>

#include <string>

#include "core/ScopedHandle.h"
#include "toolbar/OfferParsing.h"
#include "toolbar/ShopList.h"

// The body of the service's answer for the shop (ExtractBody); empty when the request fails. Never throws
// for network trouble.
[[nodiscard]] std::wstring FetchOffers(const std::wstring& shopId);
[[nodiscard]] std::wstring FetchVouchers(const std::wstring& shopId);

// A menu bar holding one popup, "PopupMenu", with one string item per title: ids 60001, 60002, ... for offers,
// 50001, 50002, ... for vouchers. Empty (no handle) when the list has no titles. The caller shows the first
// submenu; the handle destroys the whole menu. Throws windows_error when a menu cannot be made.
[[nodiscard]] MenuHandle BuildOfferMenu(const OfferList& list);
[[nodiscard]] MenuHandle BuildVoucherMenu(const VoucherList& list);

// The address a chosen item opens (1-based n; the signed-in or signed-out form, with the stored account and a
// fresh nonce). Empty when n is not between 1 and the number of items; otherwise reads the account from the
// registry and throws windows_error when the key cannot be opened.
[[nodiscard]] std::wstring OfferLink(const OfferList& list, int n);
[[nodiscard]] std::wstring VoucherLink(const VoucherList& list, int n);

// What an Offers or Vouchers drop-down does.
struct DropDownDecision
{
    enum Kind
    {
        ShowMenu,      // show the first submenu of `menu`
        ShowEmptyMenu, // show the greyed resource menu (130 for offers, 131 for vouchers)
        Navigate,      // open `url` in the browser; no menu
    };
    Kind kind = ShowEmptyMenu;
    MenuHandle menu;
    std::wstring url;
};

// Decides the Offers drop-down for the page at pageUrl (the browser's current address; pass empty text when
// the browser cannot tell it):
//  1. shop list not loaded, or no shop for the address: the empty menu, with no request;
//  2. the shop's offers are fetched;
//  3. signed out: navigate to the answer when it is a web address (IsWebAddress), else the empty menu; the
//     list is left alone;
//  4. signed in: the list is emptied and parsed anew from the answer; its menu, or the empty menu when it has
//     no items.
// Throws windows_error when a menu cannot be made.
[[nodiscard]] DropDownDecision DecideOffersDropDown(const ShopList& shops, const std::wstring& pageUrl, bool signedIn,
                                                    OfferList& list);
// The same for the Vouchers drop-down.
[[nodiscard]] DropDownDecision DecideVouchersDropDown(const ShopList& shops, const std::wstring& pageUrl, bool signedIn,
                                                      VoucherList& list);
