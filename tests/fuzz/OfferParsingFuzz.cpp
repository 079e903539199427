// The offers and vouchers answers. The body must be the text between the markers or else the whole answer; the
// offers, its records once the first currency entities are decoded; the vouchers, the offers split at another "|".
#include "FuzzInput.h"
#include "toolbar/OfferParsing.h"
#include "workers/Replies.h"

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
    CheckRecords(ResolveCurrencyEntities(body), records);
    std::erase_if(records, [](const auto& record) { return record.second.find(L'|') == std::wstring::npos; });
    Check(records.size() == count);
    for (size_t n = 0; n < count; ++n)
        Check(vouchers.voucherIds[n].find(L'|') == std::wstring::npos &&
              records[n] == std::pair(vouchers.titles[n], vouchers.voucherIds[n] + L"|" + vouchers.codes[n]));
    return 0;
}
