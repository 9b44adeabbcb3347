// handle_table.h - data objects and the table that maps handles to them (internal).
#ifndef XELAGT_HANDLE_TABLE_H
#define XELAGT_HANDLE_TABLE_H

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "xelagtapi.h"

namespace xelagt {

// A small map kept sorted by key: objects have few attributes, and a flat vector is
// faster to search and copy than a node-based map at that size.
template <typename V>
class FlatMap {
  public:
    const V* find(int32_t key) const {
        auto it = lower(key);
        return it != items_.end() && it->first == key ? &it->second : nullptr;
    }
    V* find(int32_t key) { return const_cast<V*>(static_cast<const FlatMap&>(*this).find(key)); }

    V& operator[](int32_t key) {
        auto it = lower(key);
        if (it == items_.end() || it->first != key) it = items_.emplace(it, key, V());
        return it->second;
    }

  private:
    using Items = std::vector<std::pair<int32_t, V>>;
    typename Items::const_iterator lower(int32_t key) const {
        return std::lower_bound(items_.begin(), items_.end(), key,
                                [](const auto& item, int32_t k) { return item.first < k; });
    }
    typename Items::iterator lower(int32_t key) {
        return std::lower_bound(items_.begin(), items_.end(), key,
                                [](const auto& item, int32_t k) { return item.first < k; });
    }

    Items items_;
};

// A list element: field number -> text.
using Element = FlatMap<std::string>;

struct Object {
    int32_t type = 0;
    FlatMap<std::string> strings;
    FlatMap<int32_t> integers;
    FlatMap<double> doubles;
    FlatMap<std::vector<Element>> lists;
};

// Guards one slot. Held only for a few map operations, so spinning briefly is cheaper
// than a futex-based mutex on the uncontended path.
class SlotLock {
  public:
    void lock() noexcept {
        while (locked_.exchange(true, std::memory_order_acquire)) {
            for (unsigned spins = 0; locked_.load(std::memory_order_relaxed); ++spins) {
                if (spins < 64) {
                    pause();
                } else {
                    yield();
                }
            }
        }
    }
    void unlock() noexcept { locked_.store(false, std::memory_order_release); }

  private:
    static void pause() noexcept;
    static void yield() noexcept;

    std::atomic<bool> locked_{false};
};

#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4324)  // the padding is the point
#endif
// 128 bytes per slot (a cache line pair: adjacent-line prefetch moves lines in pairs), so
// threads working on neighbouring objects do not contend.
struct alignas(128) Slot {
    SlotLock lock;
    uint32_t generation = 1;   // guarded by lock; part of every handle to this slot
    Object* object = nullptr;  // guarded by lock; nullptr while the slot is free
};
#if defined(_MSC_VER)
#pragma warning(pop)
#endif

// The object behind a handle, with its slot locked for as long as this lives.
class LockedObject {
  public:
    LockedObject() = default;
    LockedObject(Slot* slot, Object* object) : slot_(slot), object_(object) {}
    LockedObject(LockedObject&& other) noexcept
        : slot_(std::exchange(other.slot_, nullptr)), object_(other.object_) {}
    LockedObject(const LockedObject&) = delete;
    LockedObject& operator=(const LockedObject&) = delete;
    LockedObject& operator=(LockedObject&&) = delete;
    ~LockedObject() {
        if (slot_ != nullptr) slot_->lock.unlock();
    }

    explicit operator bool() const { return slot_ != nullptr; }
    Object* operator->() const { return object_; }
    Object& operator*() const { return *object_; }

  private:
    Slot* slot_ = nullptr;
    Object* object_ = nullptr;
};

// Handle = (generation << 32) | (slot index + 1). Slots live in fixed-size chunks that
// are never moved or freed, so a lookup reads one atomic chunk pointer and locks one
// slot; no lock is shared between objects. A freed slot gets a new generation, so old
// handles to it stay invalid after it is reused.
class HandleTable {
  public:
    // Stores object and writes its handle; false when the table is full.
    bool insert(std::unique_ptr<Object> object, xelagt_handle* handle);
    // The locked object, or an empty LockedObject for a handle that names no live object.
    LockedObject lock(xelagt_handle handle) noexcept;
    // Takes the object out of the table; nullptr for a handle that names no live object.
    std::unique_ptr<Object> remove(xelagt_handle handle) noexcept;
    void remove_all() noexcept;
    int64_t live() const noexcept { return live_.load(std::memory_order_relaxed); }

  private:
    static constexpr uint32_t kChunkSize = 1024;
    static constexpr uint32_t kMaxChunks = 4096;

    Slot* slot_for(xelagt_handle handle, uint32_t* generation) const noexcept;
    void release_slot(uint32_t index);

    std::atomic<Slot*> chunks_[kMaxChunks] = {};
    std::atomic<int64_t> live_{0};

    std::mutex mutex_;            // guards the two below
    std::vector<uint32_t> free_;  // freed slot indices; capacity covers every slot
    uint32_t next_unused_ = 0;    // slots from here on were never handed out
};

// Every operation goes through the two below; they are defined here so that they inline
// into it (an out-of-line call each showed in the profile of the cheapest operations).

inline Slot* HandleTable::slot_for(xelagt_handle handle, uint32_t* generation) const noexcept {
    if (handle <= 0) return nullptr;
    const auto bits = static_cast<uint64_t>(handle);
    const auto low = static_cast<uint32_t>(bits);
    *generation = static_cast<uint32_t>(bits >> 32);
    if (low == 0 || *generation == 0) return nullptr;
    const uint32_t index = low - 1;
    if (index / kChunkSize >= kMaxChunks) return nullptr;
    Slot* chunk = chunks_[index / kChunkSize].load(std::memory_order_acquire);
    return chunk == nullptr ? nullptr : &chunk[index % kChunkSize];
}

inline LockedObject HandleTable::lock(xelagt_handle handle) noexcept {
    uint32_t generation = 0;
    Slot* slot = slot_for(handle, &generation);
    if (slot == nullptr) return {};
    slot->lock.lock();
    if (slot->object == nullptr || slot->generation != generation) {
        slot->lock.unlock();
        return {};
    }
    return {slot, slot->object};
}

inline HandleTable& handle_table() noexcept {
    // Never destroyed: threads may still call in while the process exits.
    alignas(HandleTable) static unsigned char storage[sizeof(HandleTable)];
    static HandleTable* const table = new (storage) HandleTable();
    return *table;
}

}  // namespace xelagt

#endif  // XELAGT_HANDLE_TABLE_H
