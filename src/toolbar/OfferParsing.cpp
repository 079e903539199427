#include "toolbar/OfferParsing.h"

#include <algorithm>
#include <string_view>

namespace
{
constexpr wchar_t kRecordEnd[] = L"<br>";

// Every "&pound;", "&euro;", "&yen;" and "&amp;" as its character, read from left to right, so "&amp;pound;" is
// the text "&pound;".
std::wstring DecodeEntities(const std::wstring& text)
{
    static constexpr std::pair<std::wstring_view, wchar_t> kEntities[] = {
        {L"&pound;", L'\u00a3'}, {L"&euro;", L'\u20ac'}, {L"&yen;", L'\u00a5'}, {L"&amp;", L'&'}};
    std::wstring decoded;
    decoded.reserve(text.size());
    for (size_t at = 0; at < text.size();)
    {
        const size_t amp = std::min(text.find(L'&', at), text.size());
        decoded.append(text, at, amp - at);
        if (amp == text.size())
            break;
        const std::wstring_view rest = std::wstring_view(text).substr(amp);
        const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                         [&](const auto& known) { return rest.starts_with(known.first); });
        decoded += entity == std::end(kEntities) ? L'&' : entity->second;
        at = amp + (entity == std::end(kEntities) ? 1 : entity->first.size());
    }
    return decoded;
}

// Calls take(record) for each record of the text, in order; the text after the last "<br>" is not a record.
template <class Take> void ForEachRecord(const std::wstring& text, Take take)
{
    const size_t endLength = std::char_traits<wchar_t>::length(kRecordEnd);
    size_t start = 0;
    for (size_t end = text.find(kRecordEnd, start); end != std::wstring::npos; end = text.find(kRecordEnd, start))
    {
        take(text.substr(start, end - start));
        start = end + endLength;
    }
}

const std::wstring* ItemAt(const std::vector<std::wstring>& items, int n) noexcept
{
    if (n < 1 || static_cast<size_t>(n) > items.size())
        return nullptr;
    return &items[static_cast<size_t>(n) - 1];
}

bool StartsWithIgnoringCase(const std::wstring& text, const wchar_t* prefix) noexcept
{
    size_t i = 0;
    for (; prefix[i] != L'\0'; ++i)
    {
        if (i >= text.size())
            return false;
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}
} // namespace

std::wstring ExtractBody(const std::wstring& text)
{
    static constexpr wchar_t kOpen[] = L"<body>";
    const size_t open = text.find(kOpen);
    if (open == std::wstring::npos)
        return text;
    const size_t start = open + std::char_traits<wchar_t>::length(kOpen);
    const size_t close = text.find(L"</body>", start);
    if (close == std::wstring::npos)
        return text;
    return text.substr(start, close - start);
}

void ParseOffers(OfferList& list, const std::wstring& text)
{
    ForEachRecord(DecodeEntities(text),
                  [&](const std::wstring& record)
                  {
                      const size_t bar = record.find(L'|');
                      if (bar == std::wstring::npos)
                          return;
                      list.titles.push_back(record.substr(0, bar));
                      list.offerIds.push_back(record.substr(bar + 1));
                  });
    list.loaded = 1;
}

void ParseVouchers(VoucherList& list, const std::wstring& text)
{
    ForEachRecord(DecodeEntities(text),
                  [&](const std::wstring& record)
                  {
                      const size_t first = record.find(L'|');
                      if (first == std::wstring::npos)
                          return;
                      const size_t second = record.find(L'|', first + 1);
                      if (second == std::wstring::npos)
                          return;
                      list.titles.push_back(record.substr(0, first));
                      list.voucherIds.push_back(record.substr(first + 1, second - first - 1));
                      list.codes.push_back(record.substr(second + 1));
                  });
    list.loaded = 1;
}

void ClearList(OfferList& list) noexcept
{
    list.loaded = 0;
    list.titles.clear();
    list.offerIds.clear();
}

void ClearList(VoucherList& list) noexcept
{
    list.loaded = 0;
    list.titles.clear();
    list.voucherIds.clear();
    list.codes.clear();
}

const std::wstring* OfferIdAt(const OfferList& list, int n) noexcept
{
    return ItemAt(list.offerIds, n);
}

const std::wstring* VoucherIdAt(const VoucherList& list, int n) noexcept
{
    return ItemAt(list.voucherIds, n);
}

std::wstring VoucherCode(const VoucherList& list, int n)
{
    const std::wstring* code = ItemAt(list.codes, n);
    return code ? *code : std::wstring();
}

bool IsWebAddress(const std::wstring& text) noexcept
{
    return StartsWithIgnoringCase(text, L"http://") || StartsWithIgnoringCase(text, L"https://");
}
