// The shop list: a list's text and a page's text, split at the first zero byte, both parsed into one list. The
// records must be the texts', each domain the address parser's answer, and the indexed lookup that of the scan.
#include "FuzzInput.h"
#include "browser/HostFromUrl.h"
#include "toolbar/ShopList.h"

constexpr auto HostOf = [](const std::wstring& address) { return HostFromUrl(address).value_or(L""); };

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto [listText, page] = SplitAtZero(data, size);
    ShopList list;
    ParseShopList(list, listText, HostOf);
    const auto first = static_cast<ptrdiff_t>(list.Count());
    ParseShopList(list, page, HostOf); // appended: the index is built anew over both
    Records records;
    std::vector<std::wstring> texts{page, listText};
    for (size_t n = 0; n < list.Count(); ++n)
    {
        // The parser is not asked about every address, but it must be its answer (within its limits).
        const std::wstring address(list.Address(n));
        const std::wstring host =
            HostOf((address.size() > 4 && address.starts_with(L"www.") ? L"http://" : L"") + address);
        Check(address.size() > 2048 || list.Domain(n) == (host.starts_with(L"www.") ? host.substr(4) : host));
        records.emplace_back(address, list.ShopId(n));
        if (n < 16)
            texts.push_back(address);
    }
    CheckRecords(listText, Records(records.begin(), records.begin() + first));
    CheckRecords(page, Records(records.begin() + first, records.end()));
    for (const std::wstring& text : texts)
        Check(FindShop(list, text) == FindShopByScan(list, text));
    return 0;
}
