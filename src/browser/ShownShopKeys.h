// ShownShopKeys: the shop identifiers whose page popup was shown in this process, shared by the tabs of
// all threads. Keys are compared exactly (case-sensitive code units) and each is held at most once.
//
// A tab that is about to show a shop's popup reserves the shop's key first. The reservation is taken
// atomically with the "already shown?" test and is either kept (the popup was shown: the key is recorded)
// or given back (the injection stopped early), so two tabs completing pages of one shop at the same moment
// never both show it. No lock is held while the page is changed: the page's script runs synchronously and
// may run a nested message loop (an alert box), in which this same thread can complete another document;
// that nested event simply meets the reservation and skips the shop.
#pragma once

#include <map>
#include <mutex>
#include <string>

class ShownShopKeys
{
public:
    ShownShopKeys() = default;
    ShownShopKeys(const ShownShopKeys&) = delete;
    ShownShopKeys& operator=(const ShownShopKeys&) = delete;

    // A key held for one attempt to show a popup; given back on destruction unless Record() was called.
    class Reservation
    {
    public:
        Reservation() noexcept = default;
        Reservation(Reservation&& other) noexcept;
        Reservation& operator=(Reservation&& other) noexcept;
        Reservation(const Reservation&) = delete;
        Reservation& operator=(const Reservation&) = delete;
        ~Reservation();

        // True when the key was free: the caller may try to show the popup.
        explicit operator bool() const noexcept { return owner != nullptr; }
        // The popup was shown: the key is recorded for the life of the process.
        void Record() noexcept;

    private:
        friend class ShownShopKeys;
        Reservation(ShownShopKeys* keys, std::wstring reservedKey) noexcept;
        void GiveBack() noexcept;

        ShownShopKeys* owner = nullptr;
        std::wstring key;
    };

    // Reserves the key when it is neither shown nor reserved by another attempt; otherwise an empty
    // reservation. Throws std::bad_alloc.
    [[nodiscard]] Reservation Reserve(const std::wstring& key);

    // Records the key as shown (no reservation needed); a key already there stays once.
    void Add(const std::wstring& key);
    [[nodiscard]] bool Contains(const std::wstring& key) const;
    // Number of keys shown.
    [[nodiscard]] size_t Count() const;
    // Forgets every key; tests use it to start from an empty process state.
    void Clear();

private:
    enum class State
    {
        Reserved,
        Shown,
    };

    void Finish(const std::wstring& key, bool shown) noexcept;

    mutable std::mutex lock;
    std::map<std::wstring, State> keys;
};
