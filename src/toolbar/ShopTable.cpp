// Shop record storage and the domain index.
#include "toolbar/ShopTable.h"

#include <algorithm>
#include <array>
#include <bit>
#include <stdexcept>
#include <type_traits>

namespace
{
constexpr uint64_t kBase = 0x100000001B3ull;       // odd, so powers never collapse to 0 modulo 2^64
constexpr uint64_t kMixer = 0x9E3779B97F4A7C15ull; // spreads the polynomial hash into the top bits
constexpr size_t kEnding = 4;                      // code units of a domain's ending: ".com", "o.uk"
constexpr uint64_t kEndingPower = kBase * kBase * kBase * kBase;
constexpr size_t kLimit = UINT32_MAX - 1;
constexpr size_t kStackPrefixes = 512;
constexpr size_t kTypicalRecord = 40; // code units of a record of the file, "<br>" included

uint64_t CodeUnit(wchar_t c) noexcept
{
    return static_cast<uint64_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
}

// Polynomial hash of the piece: h = h * kBase + c for each code unit, modulo 2^64. Four code units are taken per
// step, so that only one multiplication per four waits for the one before.
uint64_t HashOf(std::wstring_view piece) noexcept
{
    constexpr uint64_t kBase2 = kBase * kBase;
    constexpr uint64_t kBase3 = kBase2 * kBase;
    uint64_t hash = 0;
    size_t i = 0;
    for (; i + 4 <= piece.size(); i += 4)
        hash = hash * kEndingPower + (CodeUnit(piece[i]) * kBase3 + CodeUnit(piece[i + 1]) * kBase2 +
                                      CodeUnit(piece[i + 2]) * kBase + CodeUnit(piece[i + 3]));
    for (; i < piece.size(); ++i)
        hash = hash * kBase + CodeUnit(piece[i]);
    return hash;
}

uint64_t Mix(uint64_t hash) noexcept
{
    return (hash ^ (hash >> 29)) * kMixer;
}

bool TestBit(const std::vector<uint64_t>& bits, uint64_t index) noexcept
{
    return (bits[static_cast<size_t>(index / 64)] >> (index % 64) & 1) != 0;
}

void SetBit(std::vector<uint64_t>& bits, uint64_t index) noexcept
{
    bits[static_cast<size_t>(index / 64)] |= uint64_t{1} << (index % 64);
}

uint32_t Narrow(size_t value)
{
    if (value > kLimit)
        throw std::length_error("shop list too large");
    return static_cast<uint32_t>(value);
}
} // namespace

std::wstring_view ShopTable::Address(size_t n) const noexcept
{
    const Entry& entry = entries[n];
    return std::wstring_view(pool).substr(entry.start, entry.addressLength);
}

std::wstring_view ShopTable::Domain(size_t n) const noexcept
{
    const Entry& entry = entries[n];
    return std::wstring_view(pool).substr(entry.domainStart, entry.domainLength);
}

std::wstring_view ShopTable::ShopId(size_t n) const noexcept
{
    const Entry& entry = entries[n];
    return std::wstring_view(pool).substr(size_t{entry.start} + entry.addressLength + 1, entry.idLength);
}

void ShopTable::TakeText(std::wstring&& text)
{
    pool = std::move(text);
    entries.reserve(pool.size() / kTypicalRecord);
}

void ShopTable::AddFromText(size_t start, size_t addressLength, size_t idLength, size_t domainStart,
                            size_t domainLength)
{
    Narrow(entries.size() + 1);
    entries.push_back(
        {Narrow(start), Narrow(addressLength), Narrow(idLength), Narrow(domainStart), Narrow(domainLength)});
}

void ShopTable::AddFromText(size_t start, size_t addressLength, size_t idLength, std::wstring_view domain)
{
    const size_t inAddress = domain.empty() ? 0 : std::wstring_view(pool).substr(start, addressLength).find(domain);
    if (inAddress != std::wstring_view::npos)
    {
        AddFromText(start, addressLength, idLength, start + inAddress, domain.size());
        return;
    }
    const size_t domainStart = pool.size();
    Narrow(domainStart + domain.size());
    pool.append(domain);
    AddFromText(start, addressLength, idLength, domainStart, domain.size());
}

void ShopTable::AddAll(const ShopTable& other)
{
    pool.reserve(pool.size() + other.pool.size());
    entries.reserve(entries.size() + other.entries.size());
    for (size_t n = 0; n < other.Count(); ++n)
    {
        const size_t start = pool.size();
        const std::wstring_view address = other.Address(n);
        const std::wstring_view shopId = other.ShopId(n);
        Narrow(start + address.size() + 1 + shopId.size());
        pool.append(address);
        pool.push_back(L'|');
        pool.append(shopId);
        AddFromText(start, address.size(), shopId.size(), other.Domain(n));
    }
}

void ShopTable::Seal()
{
    if (pool.capacity() - pool.size() > pool.size() / 4)
        pool.shrink_to_fit();
    if (entries.capacity() - entries.size() > entries.size() / 4)
        entries.shrink_to_fit();

    // Hash every domain once, noting its length and ending.
    struct Pending
    {
        uint64_t mixed;
        size_t record;
    };
    std::vector<Pending> pending;
    pending.reserve(entries.size());
    size_t longest = 0;
    for (size_t n = 0; n < entries.size(); ++n)
    {
        if (entries[n].domainLength == 0)
            continue;
        pending.push_back({Mix(HashOf(Domain(n))), n});
        longest = std::max<size_t>(longest, entries[n].domainLength);
    }

    // The table at most half full, so that probes for a missing piece end quickly. The ending filter stays
    // small enough for the first-level cache: the distinct endings are few.
    const size_t slotCount = std::bit_ceil(std::max<size_t>(8, 2 * pending.size()));
    const auto slotBits = static_cast<unsigned>(std::countr_zero(slotCount));
    slotShift = 64 - slotBits;
    filterShift = slotShift - 3;
    slots.assign(slotCount, Slot{});
    filter.assign(slotCount / 8, 0);
    const size_t endingBits = std::clamp<size_t>(slotCount * 4, 512, size_t{1} << 16);
    endingShift = 64 - static_cast<unsigned>(std::countr_zero(endingBits));
    endingFilter.assign(endingBits / 64, 0);

    // Insert in the order of the home slots (a stable counting sort on their top bits), so that the table is
    // filled front to back instead of at random: far fewer cache misses for a large list. Records of one domain
    // stay in list order, so the first of them takes the slot.
    const unsigned bucketBits = std::min(slotBits, 12u);
    std::vector<uint32_t> bucketStart((size_t{1} << bucketBits) + 1, 0);
    for (const Pending& item : pending)
        ++bucketStart[static_cast<size_t>(item.mixed >> (64 - bucketBits)) + 1];
    for (size_t bucket = 1; bucket < bucketStart.size(); ++bucket)
        bucketStart[bucket] += bucketStart[bucket - 1];
    std::vector<Pending> ordered(pending.size());
    for (const Pending& item : pending)
        ordered[bucketStart[static_cast<size_t>(item.mixed >> (64 - bucketBits))]++] = item;
    pending = {};

    const size_t mask = slotCount - 1;
    for (const Pending& item : ordered)
    {
        SetBit(filter, item.mixed >> filterShift);
        const auto tag = static_cast<uint32_t>(item.mixed);
        for (size_t slot = static_cast<size_t>(item.mixed >> slotShift);; slot = (slot + 1) & mask)
        {
            Slot& candidate = slots[slot];
            if (candidate.recordPlusOne == 0)
            {
                candidate = Slot{tag, static_cast<uint32_t>(item.record + 1)};
                break;
            }
            if (candidate.tag == tag && Domain(candidate.recordPlusOne - 1) == Domain(item.record))
                break;
        }
    }

    std::vector<bool> lengthSeen(longest + 1, false);
    for (const Entry& entry : entries)
    {
        if (entry.domainLength == 0)
            continue;
        lengthSeen[entry.domainLength] = true;
        if (entry.domainLength >= kEnding)
        {
            const std::wstring_view ending(pool.data() + entry.domainStart + entry.domainLength - kEnding, kEnding);
            SetBit(endingFilter, Mix(HashOf(ending)) >> endingShift);
        }
    }
    shortLengths.clear();
    longLengths.clear();
    uint64_t power = 1;
    for (size_t length = 1; length <= longest; ++length)
    {
        power *= kBase;
        if (lengthSeen[length])
            (length < kEnding ? shortLengths : longLengths).push_back({static_cast<uint32_t>(length), power});
    }
    shortLengths.shrink_to_fit();
    longLengths.shrink_to_fit();
}

size_t ShopTable::Lookup(uint64_t mixed, std::wstring_view piece) const noexcept
{
    const size_t mask = slots.size() - 1;
    const auto tag = static_cast<uint32_t>(mixed);
    for (size_t slot = static_cast<size_t>(mixed >> slotShift); slots[slot].recordPlusOne != 0;
         slot = (slot + 1) & mask)
    {
        const Slot& candidate = slots[slot];
        if (candidate.tag == tag && Domain(candidate.recordPlusOne - 1) == piece)
            return candidate.recordPlusOne - 1;
    }
    return kNotFound;
}

size_t ShopTable::FindFirst(std::wstring_view text) const
{
    if (shortLengths.empty() && longLengths.empty())
        return kNotFound;

    // prefix[i] is the hash of the first i code units, so the piece of the given length that ends at i hashes
    // to prefix[i] - prefix[i - length] * kBase^length.
    std::array<uint64_t, kStackPrefixes> stackPrefixes;
    std::vector<uint64_t> heapPrefixes;
    uint64_t* prefix = stackPrefixes.data();
    if (text.size() + 1 > kStackPrefixes)
    {
        heapPrefixes.resize(text.size() + 1);
        prefix = heapPrefixes.data();
    }
    prefix[0] = 0;
    for (size_t i = 0; i < text.size(); ++i)
        prefix[i + 1] = prefix[i] * kBase + CodeUnit(text[i]);

    size_t best = kNotFound;
    const auto tryPieces = [&](size_t end, const std::vector<LengthStep>& lengths)
    {
        for (const LengthStep& step : lengths)
        {
            if (step.length > end)
                return;
            const size_t start = end - step.length;
            const uint64_t mixed = Mix(prefix[end] - prefix[start] * step.power);
            if (TestBit(filter, mixed >> filterShift))
                best = std::min(best, Lookup(mixed, text.substr(start, step.length)));
        }
    };
    for (size_t end = 1; end <= text.size() && best != 0; ++end)
    {
        tryPieces(end, shortLengths);
        if (end >= kEnding && !longLengths.empty() &&
            TestBit(endingFilter, Mix(prefix[end] - prefix[end - kEnding] * kEndingPower) >> endingShift))
            tryPieces(end, longLengths);
    }
    return best;
}

size_t ShopTable::AllocatedBytes() const noexcept
{
    return sizeof(*this) + (pool.capacity() + 1) * sizeof(wchar_t) + entries.capacity() * sizeof(Entry) +
           slots.capacity() * sizeof(Slot) + (filter.capacity() + endingFilter.capacity()) * sizeof(uint64_t) +
           (shortLengths.capacity() + longLengths.capacity()) * sizeof(LengthStep);
}
