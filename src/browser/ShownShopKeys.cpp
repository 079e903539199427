#include "browser/ShownShopKeys.h"

#include <algorithm>
#include <utility>

ShownShopKeys::Reservation::Reservation(ShownShopKeys* keys, std::wstring reservedKey) noexcept
    : owner(keys), key(std::move(reservedKey))
{
}

ShownShopKeys::Reservation::Reservation(Reservation&& other) noexcept
    : owner(std::exchange(other.owner, nullptr)), key(std::move(other.key))
{
}

ShownShopKeys::Reservation& ShownShopKeys::Reservation::operator=(Reservation&& other) noexcept
{
    if (this != &other)
    {
        GiveBack();
        owner = std::exchange(other.owner, nullptr);
        key = std::move(other.key);
    }
    return *this;
}

ShownShopKeys::Reservation::~Reservation()
{
    GiveBack();
}

void ShownShopKeys::Reservation::Record() noexcept
{
    if (ShownShopKeys* keys = std::exchange(owner, nullptr))
        keys->Finish(key, true);
}

void ShownShopKeys::Reservation::GiveBack() noexcept
{
    if (ShownShopKeys* keys = std::exchange(owner, nullptr))
        keys->Finish(key, false);
}

ShownShopKeys::Reservation ShownShopKeys::Reserve(const std::wstring& key)
{
    std::wstring copy = key; // allocated before the lock is taken
    const std::lock_guard guard(lock);
    if (!keys.try_emplace(key, State::Reserved).second)
        return {};
    return Reservation(this, std::move(copy));
}

void ShownShopKeys::Finish(const std::wstring& key, bool shown) noexcept
{
    const std::lock_guard guard(lock);
    const auto entry = keys.find(key);
    if (entry == keys.end() || entry->second != State::Reserved)
        return;
    if (shown)
        entry->second = State::Shown;
    else
        keys.erase(entry);
}

void ShownShopKeys::Add(const std::wstring& key)
{
    const std::lock_guard guard(lock);
    keys.insert_or_assign(key, State::Shown);
}

bool ShownShopKeys::Contains(const std::wstring& key) const
{
    const std::lock_guard guard(lock);
    const auto entry = keys.find(key);
    return entry != keys.end() && entry->second == State::Shown;
}

size_t ShownShopKeys::Count() const
{
    const std::lock_guard guard(lock);
    return static_cast<size_t>(
        std::count_if(keys.begin(), keys.end(), [](const auto& entry) { return entry.second == State::Shown; }));
}

void ShownShopKeys::Clear()
{
    const std::lock_guard guard(lock);
    keys.clear();
}
