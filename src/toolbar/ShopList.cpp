// The shop list: parsing of the file format and the lookup of a page's shop.
#include "toolbar/ShopList.h"

#include "toolbar/ShopTable.h"

namespace
{
constexpr std::wstring_view kRecordEnd = L"<br>";
constexpr std::wstring_view kWebPrefix = L"www.";

constexpr size_t kLongestPlainHost = 255;

bool IsLowerLetterOrDigit(wchar_t c) noexcept
{
    return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9');
}

// The host of a plain web address: "http://" or "https://" (nothing for an address taken as a web address), then
// lowercase letters, digits, '-' and '.', beginning and ending with a letter or digit, then '/' or the end. Every
// URL parser splits such an address alike, so the parser is asked only about the others, which saves a call and
// a string per record. Returns the host's offset and length, or nothing.
std::optional<std::pair<size_t, size_t>> PlainHost(std::wstring_view address, bool webAddress) noexcept
{
    size_t start = 0;
    if (!webAddress)
    {
        if (address.starts_with(L"http://"))
            start = 7;
        else if (address.starts_with(L"https://"))
            start = 8;
        else
            return std::nullopt;
    }
    size_t end = start;
    while (end < address.size() && end - start <= kLongestPlainHost &&
           (IsLowerLetterOrDigit(address[end]) || address[end] == L'-' || address[end] == L'.'))
        ++end;
    if (end == start || end - start > kLongestPlainHost || (end < address.size() && address[end] != L'/') ||
        !IsLowerLetterOrDigit(address[start]) || !IsLowerLetterOrDigit(address[end - 1]))
        return std::nullopt;
    return std::pair{start, end - start};
}

// Derives the domain of the record of the table's text at start and adds the record. The buffer is the parser's
// input, kept between records so that its room is reused.
void AddRecord(ShopTable& table, size_t start, size_t addressLength, size_t idLength, HostParser hostOfAddress,
               std::wstring& buffer)
{
    const std::wstring_view written = table.Text().substr(start, addressLength);
    // An address without a scheme that begins with "www." is taken as a web address.
    const bool webAddress = written.size() > kWebPrefix.size() && written.starts_with(kWebPrefix);
    if (const auto plain = PlainHost(written, webAddress))
    {
        auto [offset, length] = *plain;
        if (written.substr(offset, length).starts_with(kWebPrefix))
        {
            offset += kWebPrefix.size();
            length -= kWebPrefix.size();
        }
        table.AddFromText(start, addressLength, idLength, start + offset, length);
        return;
    }
    buffer.assign(webAddress ? L"http://" : L"");
    buffer.append(written);
    const std::wstring host = hostOfAddress(buffer);
    std::wstring_view domain(host);
    if (domain.starts_with(kWebPrefix))
        domain.remove_prefix(kWebPrefix.size());
    table.AddFromText(start, addressLength, idLength, domain);
}

ShopRecord RecordOf(const ShopTable& table, size_t n)
{
    return ShopRecord{std::wstring(table.Address(n)), std::wstring(table.Domain(n)), std::wstring(table.ShopId(n))};
}
} // namespace

ShopList::ShopList() = default;
ShopList::~ShopList() = default;

size_t ShopList::Count() const noexcept
{
    return table ? table->Count() : 0;
}

std::wstring_view ShopList::Address(size_t n) const noexcept
{
    return table->Address(n);
}

std::wstring_view ShopList::Domain(size_t n) const noexcept
{
    return table->Domain(n);
}

std::wstring_view ShopList::ShopId(size_t n) const noexcept
{
    return table->ShopId(n);
}

void ShopList::Append(std::shared_ptr<const ShopTable> records)
{
    if (!records || records->Count() == 0)
        return;
    if (Count() == 0)
    {
        table = std::move(records);
        return;
    }
    // The current table may be shared with other lists: build a new one.
    auto joined = std::make_shared<ShopTable>();
    joined->AddAll(*table);
    joined->AddAll(*records);
    joined->Seal();
    table = std::move(joined);
}

size_t ShopList::AllocatedBytes() const noexcept
{
    return table ? table->AllocatedBytes() : 0;
}

void ParseShopList(ShopList& list, const std::wstring& text, HostParser hostOfAddress)
{
    ParseShopList(list, std::wstring(text), hostOfAddress);
}

void ParseShopList(ShopList& list, std::wstring&& text, HostParser hostOfAddress)
{
    // The text becomes the new table's pool: records are noted where they lie in it.
    auto parsed = std::make_shared<ShopTable>();
    const size_t textLength = text.size();
    parsed->TakeText(std::move(text));
    if (list.table)
        parsed->AddAll(*list.table);

    // One pass: each "<br>" ends a record, whose first "|" was noted on the way.
    std::wstring_view all = parsed->Text().substr(0, textLength);
    std::wstring buffer;
    size_t recordStart = 0;
    size_t bar = std::wstring_view::npos;
    for (size_t i = 0; i + kRecordEnd.size() <= textLength;)
    {
        const wchar_t c = all[i];
        if (c == L'|' && bar == std::wstring_view::npos)
            bar = i;
        if (c != L'<' || all.compare(i, kRecordEnd.size(), kRecordEnd) != 0)
        {
            ++i;
            continue;
        }
        const size_t start = recordStart;
        const size_t length = i - start;
        const size_t recordBar = bar == std::wstring_view::npos ? length : bar - start;
        i += kRecordEnd.size();
        recordStart = i;
        bar = std::wstring_view::npos;
        if (recordBar >= length)
            continue;
        AddRecord(*parsed, start, recordBar, length - recordBar - 1, hostOfAddress, buffer);
        all = parsed->Text().substr(0, textLength); // a domain copied into the pool may have moved it
    }
    parsed->Seal();
    list.table = std::move(parsed);
    list.SetLoaded();
}

std::optional<ShopRecord> FindShop(const ShopList& list, const std::wstring& text)
{
    const std::shared_ptr<const ShopTable>& table = list.Table();
    if (!table)
        return std::nullopt;
    const size_t found = table->FindFirst(text);
    if (found == ShopTable::kNotFound)
        return std::nullopt;
    return RecordOf(*table, found);
}

std::optional<ShopRecord> FindShopByScan(const ShopList& list, const std::wstring& text)
{
    const std::wstring_view haystack(text);
    for (size_t n = 0; n < list.Count(); ++n)
    {
        const std::wstring_view domain = list.Domain(n);
        if (!domain.empty() && haystack.find(domain) != std::wstring_view::npos)
            return RecordOf(*list.Table(), n);
    }
    return std::nullopt;
}
