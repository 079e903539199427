// The list of participating shops ("get_merchant.txt") and the lookup of the shop a page belongs to.
// Portable: the host-name parser is passed in, so the same parsing and matching run in the DLL (with the
// system URL parser) and in the native tests.
//
// The records live in one immutable ShopTable (a character pool, compact per-record offsets and a domain
// index). Lists loaded from the same unchanged file share one table, so a list is cheap to hold in every
// toolbar of a process; appending to a list copies its table first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class ShopTable;

// One shop, as a lookup returns it.
struct ShopRecord
{
    std::wstring address;
    std::wstring domain;
    std::wstring shopId;

    bool operator==(const ShopRecord&) const = default;
};

// The host name of an address that has a scheme, without user name, password or port; empty when the
// address cannot be parsed.
using HostParser = std::wstring (*)(const std::wstring& address);

// The shops of the list in file order, and whether a load has been completed. Not thread-safe for writing;
// a loaded list may be read from any thread.
class ShopList
{
public:
    ShopList();
    ~ShopList();
    ShopList(const ShopList&) = delete;
    ShopList& operator=(const ShopList&) = delete;

    [[nodiscard]] size_t Count() const noexcept;
    // Record n (below Count()), viewed in the list's storage: valid while the list lives and is not appended to.
    [[nodiscard]] std::wstring_view Address(size_t n) const noexcept;
    [[nodiscard]] std::wstring_view Domain(size_t n) const noexcept;
    [[nodiscard]] std::wstring_view ShopId(size_t n) const noexcept;

    // 0 until a load or parse has been completed, then 1; users test it before looking anything up.
    [[nodiscard]] bool IsLoaded() const noexcept { return loaded != 0; }
    void SetLoaded() noexcept { loaded = 1; }

    // The table holding the records (null until the first parse or load); lists that share records hold one table.
    [[nodiscard]] const std::shared_ptr<const ShopTable>& Table() const noexcept { return table; }
    // Appends the records of a parsed table; when the list holds none yet, the table is shared, not copied.
    void Append(std::shared_ptr<const ShopTable> records);
    // Bytes the records occupy on the heap (pool, per-record arrays, index), shared or not.
    [[nodiscard]] size_t AllocatedBytes() const noexcept;

private:
    friend void ParseShopList(ShopList& list, std::wstring&& text, HostParser hostOfAddress);

    std::shared_ptr<const ShopTable> table;
    int32_t loaded = 0;
};

// Parses text of the file format, appending the records to the list, and sets the loaded flag. Records end
// with "<br>" (text after the last one is ignored); a record is the address, "|" and the shop identifier (all
// that follows the first "|"); a record without "|" is skipped. The domain is the host of the address
// ("http://" is put in front of an address beginning with "www."), without a leading "www.". The parser is asked
// only about addresses other than plain "http://" and "https://" ones with a lowercase host, which every URL
// parser splits alike. Throws std::bad_alloc, or std::length_error for a text of 2^32 - 1 characters or more.
void ParseShopList(ShopList& list, const std::wstring& text, HostParser hostOfAddress);
// The same, keeping the text's storage as the list's own (no copy of a large file's text).
void ParseShopList(ShopList& list, std::wstring&& text, HostParser hostOfAddress);

// The first record, in list order, whose domain is not empty and occurs in the text (case-sensitive
// substring of UTF-16 code units). Uses the list's domain index: the time hardly depends on the list's size.
[[nodiscard]] std::optional<ShopRecord> FindShop(const ShopList& list, const std::wstring& text);

// The same answer as FindShop by trying each record's domain in turn; a reference for tests and benchmarks.
[[nodiscard]] std::optional<ShopRecord> FindShopByScan(const ShopList& list, const std::wstring& text);
