// The offers and vouchers of the current site's shop as the service sends them, and the lists the toolbar's
// drop-down menus are built from. Portable: no Win32 here, so the parsing rules run natively under sanitizers.
//
// An answer is an HTML page whose body holds records, each followed by "<br>":
//   offers:   title "|" offer identifier             (the identifier is everything after the first "|")
//   vouchers: title "|" voucher identifier "|" code  (the code is everything after the second "|")
// Text after the last "<br>" is ignored; a record without the separators it needs is skipped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Entry n of each vector belongs to item n + 1 of the menu (menu items are numbered from 1).
struct OfferList
{
    std::vector<std::wstring> titles;
    std::vector<std::wstring> offerIds;
    int32_t loaded = 0; // 0 before a parse, 1 once it has finished
};

struct VoucherList
{
    std::vector<std::wstring> titles;
    std::vector<std::wstring> voucherIds;
    std::vector<std::wstring> codes;
    int32_t loaded = 0;
};

// Menu command ids: offer item n has id kFirstOfferCommand - 1 + n, voucher item n kFirstVoucherCommand - 1 + n;
// a menu shows the items whose ids fit their range (offers: the 16 bits of a command id).
inline constexpr int kFirstOfferCommand = 60001;
inline constexpr int kLastOfferCommand = 65535;
inline constexpr int kFirstVoucherCommand = 50001;
inline constexpr int kLastVoucherCommand = 59999;

// The text between "<body>" and the first "</body>" after it; the whole text when either marker is missing.
[[nodiscard]] std::wstring ExtractBody(const std::wstring& text);

// Decodes every "&pound;", "&euro;", "&yen;" and "&amp;" of the whole text, then appends the records to the list
// and sets its loaded flag. Existing items stay.
void ParseOffers(OfferList& list, const std::wstring& text);
void ParseVouchers(VoucherList& list, const std::wstring& text);

// Empties the lists and clears the loaded flag, as before a new parse.
void ClearList(OfferList& list) noexcept;
void ClearList(VoucherList& list) noexcept;

// Field of item n (1-based); null when n is not between 1 and the number of items.
[[nodiscard]] const std::wstring* OfferIdAt(const OfferList& list, int n) noexcept;
[[nodiscard]] const std::wstring* VoucherIdAt(const VoucherList& list, int n) noexcept;
// The code of voucher n (1-based); empty outside the list.
[[nodiscard]] std::wstring VoucherCode(const VoucherList& list, int n);

// True when the text starts with "http://" or "https://" in any case: the only answers the browser is sent to
// when a signed-out user opens the offers or vouchers (anything else, "javascript:" above all, could act on
// the page being shown).
[[nodiscard]] bool IsWebAddress(const std::wstring& text) noexcept;
