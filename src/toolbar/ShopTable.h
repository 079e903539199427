// Storage of the shop records and the index that finds, in a page address, the first shop whose domain occurs
// in it. Portable.
//
// Memory: the parsed text itself is the character pool; each record is five 32-bit numbers that point into it
// (its address, its identifier, and its domain, which lies inside the address, or, rarely, is added to the end
// of the pool), and the distinct domains have an open-addressing table and two bit filters. A list costs
// little more than its text.
//
// Lookup: each distinct domain is hashed (a polynomial hash over its code units) into the table, which keeps the
// smallest record index of that domain. The hash of any piece of a text comes from two prefix hashes of the text
// in constant time. A piece is tried only where it could be a domain: it ends where the text's last four code
// units are those of some domain's end (a small bit filter of domain endings, which are mostly top-level domains,
// rules out nearly every position), and it has the length of some domain; a second bit filter of the domains
// rejects most pieces before the table is touched, and a table hit is confirmed by comparing the texts. So the
// time grows with the text's length, not with the list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ShopTable
{
public:
    static constexpr size_t kNotFound = static_cast<size_t>(-1);

    [[nodiscard]] size_t Count() const noexcept { return entries.size(); }
    [[nodiscard]] std::wstring_view Address(size_t n) const noexcept;
    [[nodiscard]] std::wstring_view Domain(size_t n) const noexcept;
    [[nodiscard]] std::wstring_view ShopId(size_t n) const noexcept;

    // Building, in this order: TakeText (optional), the records in list order, Seal. Lookups are valid only after
    // Seal. Adding throws std::length_error once the pool or the record count would pass 2^32 - 2.
    //
    // The pool starts as the parsed text itself, so records of the text cost no copy: a record is the address,
    // one separator and the identifier, back to back at `start`.
    void TakeText(std::wstring&& text);
    // The pool, whose first part is the taken text; it may move when a record is added.
    [[nodiscard]] std::wstring_view Text() const noexcept { return pool; }
    // A record whose address and identifier lie in the pool, with its domain at domainStart in the pool.
    void AddFromText(size_t start, size_t addressLength, size_t idLength, size_t domainStart, size_t domainLength);
    // The same, with a domain given apart: it points into the address when it occurs there, else it is copied.
    void AddFromText(size_t start, size_t addressLength, size_t idLength, std::wstring_view domain);
    // Copies the records of the other table.
    void AddAll(const ShopTable& other);
    // Builds the domain index and gives back most of the spare room.
    void Seal();

    // The smallest record index whose domain is not empty and occurs in the text, or kNotFound.
    [[nodiscard]] size_t FindFirst(std::wstring_view text) const;

    [[nodiscard]] size_t AllocatedBytes() const noexcept;

private:
    struct Entry
    {
        uint32_t start; // address, a separator, identifier, in the pool
        uint32_t addressLength;
        uint32_t idLength;
        uint32_t domainStart;
        uint32_t domainLength; // 0: no domain, never matches
    };
    struct Slot
    {
        uint32_t tag;           // low bits of the domain's mixed hash, to skip most text comparisons
        uint32_t recordPlusOne; // 0: empty slot
    };
    struct LengthStep
    {
        uint32_t length;
        uint64_t power; // kBase^length, to take a piece's hash out of two prefix hashes
    };

    [[nodiscard]] size_t Lookup(uint64_t mixed, std::wstring_view piece) const noexcept;

    std::wstring pool;
    std::vector<Entry> entries;
    std::vector<Slot> slots;              // power-of-two size, at most half full
    std::vector<uint64_t> filter;         // 8 bits per slot, one set per distinct domain
    std::vector<uint64_t> endingFilter;   // one bit set per distinct ending of a domain
    std::vector<LengthStep> shortLengths; // ascending distinct lengths of domains shorter than an ending
    std::vector<LengthStep> longLengths;  // ascending distinct lengths of the other domains
    unsigned slotShift = 64;              // slot = mixed >> slotShift
    unsigned filterShift = 64;            // filter bit = mixed >> filterShift
    unsigned endingShift = 64;            // ending filter bit = mixed >> endingShift
};
