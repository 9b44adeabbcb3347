// handle_table.cpp - the slot table behind data object handles.
#include "handle_table.h"

#include <new>
#include <thread>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace xelagt {

namespace {

// Generations stay in 1..2^31-1: never 0, so no handle is 0, and handles stay positive.
constexpr uint32_t kMaxGeneration = 0x7fffffffu;

uint32_t next_generation(uint32_t generation) noexcept {
    return generation >= kMaxGeneration ? 1 : generation + 1;
}

}  // namespace

void SlotLock::pause() noexcept {
#if defined(_MSC_VER) && (defined(_M_X64) || defined(_M_IX86))
    _mm_pause();
#elif defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    __asm__ __volatile__("yield");
#endif
}

void SlotLock::yield() noexcept { std::this_thread::yield(); }

bool HandleTable::insert(std::unique_ptr<Object> object, xelagt_handle* handle) {
    uint32_t index;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!free_.empty()) {
            index = free_.back();
            free_.pop_back();
        } else {
            if (next_unused_ == kChunkSize * kMaxChunks) return false;
            if (next_unused_ % kChunkSize == 0) {
                // Reserve first: release_slot must never need to allocate.
                free_.reserve(next_unused_ + kChunkSize);
                chunks_[next_unused_ / kChunkSize].store(new Slot[kChunkSize],
                                                         std::memory_order_release);
            }
            index = next_unused_++;
        }
    }
    // The index is off the free list, so no other thread creates in this slot.
    Slot& slot = chunks_[index / kChunkSize].load(std::memory_order_acquire)[index % kChunkSize];
    slot.lock.lock();
    slot.object = object.release();
    const uint32_t generation = slot.generation;
    slot.lock.unlock();
    live_.fetch_add(1, std::memory_order_relaxed);
    *handle = static_cast<xelagt_handle>((static_cast<uint64_t>(generation) << 32) | (index + 1));
    return true;
}

std::unique_ptr<Object> HandleTable::remove(xelagt_handle handle) noexcept {
    uint32_t generation = 0;
    Slot* slot = slot_for(handle, &generation);
    if (slot == nullptr) return nullptr;
    slot->lock.lock();
    if (slot->object == nullptr || slot->generation != generation) {
        slot->lock.unlock();
        return nullptr;
    }
    std::unique_ptr<Object> object(std::exchange(slot->object, nullptr));
    slot->generation = next_generation(slot->generation);
    slot->lock.unlock();
    release_slot(static_cast<uint32_t>(static_cast<uint64_t>(handle)) - 1);
    return object;
}

void HandleTable::remove_all() noexcept {
    for (uint32_t c = 0; c < kMaxChunks; ++c) {
        Slot* chunk = chunks_[c].load(std::memory_order_acquire);
        if (chunk == nullptr) break;  // chunks are allocated in order
        for (uint32_t i = 0; i < kChunkSize; ++i) {
            Slot& slot = chunk[i];
            slot.lock.lock();
            std::unique_ptr<Object> object(std::exchange(slot.object, nullptr));
            if (object) slot.generation = next_generation(slot.generation);
            slot.lock.unlock();
            if (object) release_slot(c * kChunkSize + i);
        }
    }
}

void HandleTable::release_slot(uint32_t index) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(index);  // within the reserved capacity
    }
    live_.fetch_sub(1, std::memory_order_relaxed);
}

}  // namespace xelagt
