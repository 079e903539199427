// The offers and vouchers answers. The body must be the text between the markers or else the whole answer; the
// offers, its records once its entities are decoded; the vouchers, the offers split at another "|".
#include "FuzzInput.h"
#include "toolbar/OfferParsing.h"

// Each "&" that starts one of the four entities, read from the left, stands for its character.
static constexpr const wchar_t* kNames[] = {L"&pound;", L"&euro;", L"&yen;", L"&amp;"};
static std::wstring Decoded(const std::wstring& text)
{
    std::wstring out;
    for (size_t at = 0; at < text.size(); ++at)
    {
        size_t name = text[at] == L'&' ? 0 : 4;
        while (name < 4 && text.compare(at, std::wcslen(kNames[name]), kNames[name]) != 0)
            ++name;
        out += name < 4 ? L"\u00a3\u20ac\u00a5&"[name] : text[at];
        at += name < 4 ? std::wcslen(kNames[name]) - 1 : 0;
    }
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::wstring answer = Widen(data, size);
    const std::wstring body = ExtractBody(answer);
    const size_t open = answer.find(L"<body>");
    Check(body == answer
              ? answer.find(L"</body>", open) == std::wstring::npos
              : answer.find(L"<body>" + body + L"</body>") == open && body.find(L"</body>") == std::wstring::npos);
    OfferList offers;
    ParseOffers(offers, body);
    VoucherList vouchers;
    ParseVouchers(vouchers, body);
    const size_t count = vouchers.titles.size();
    Check(offers.loaded == 1 && vouchers.loaded == 1 && offers.titles.size() == offers.offerIds.size() &&
          vouchers.voucherIds.size() == count && vouchers.codes.size() == count);
    Records records;
    for (size_t n = 0; n < offers.titles.size(); ++n)
        records.emplace_back(offers.titles[n], offers.offerIds[n]);
    CheckRecords(Decoded(body), records);
    std::erase_if(records, [](const auto& record) { return record.second.find(L'|') == std::wstring::npos; });
    Check(records.size() == count);
    for (size_t n = 0; n < count; ++n)
        Check(vouchers.voucherIds[n].find(L'|') == std::wstring::npos &&
              records[n] == std::pair(vouchers.titles[n], vouchers.voucherIds[n] + L"|" + vouchers.codes[n]));
    return 0;
}
