// convert.cpp - text conversion and the buffers it hands out.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "codeset.h"
#include "control.h"
#include "export.h"
#include "handle_table.h"
#include "standin.h"

namespace xelagt {

namespace {

// A set of pointers in one array (open addressing, linear probing): adding and removing
// allocate nothing, bar a bigger array now and then. Not thread-safe.
class PointerSet {
  public:
    PointerSet() = default;
    PointerSet(const PointerSet&) = delete;
    PointerSet& operator=(const PointerSet&) = delete;
    ~PointerSet() { delete[] slots_; }

    // False when a bigger array cannot be had.
    bool insert(void* pointer) noexcept {
        if ((used_ + 1) * 2 > capacity_ && !rebuild()) return false;
        size_t i = home(pointer);
        while (slots_[i] != nullptr && slots_[i] != removed()) i = (i + 1) & (capacity_ - 1);
        if (slots_[i] == nullptr) ++used_;
        slots_[i] = pointer;
        ++size_;
        return true;
    }

    bool erase(void* pointer) noexcept {
        if (capacity_ == 0) return false;
        for (size_t i = home(pointer); slots_[i] != nullptr; i = (i + 1) & (capacity_ - 1)) {
            if (slots_[i] == pointer) {
                slots_[i] = removed();
                --size_;
                return true;
            }
        }
        return false;
    }

  private:
    // Marks a slot whose pointer was erased; malloc never returns this address.
    static void* removed() noexcept { return reinterpret_cast<void*>(uintptr_t{1}); }

    size_t home(void* pointer) const noexcept {
        auto bits = reinterpret_cast<uintptr_t>(pointer) >> 4;  // malloc aligns to 16
        bits *= 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(bits >> 32) & (capacity_ - 1);
    }

    // Room for four times the pointers held (at least 64), without the removed marks.
    bool rebuild() noexcept {
        size_t capacity = 64;
        while (capacity < (size_ + 1) * 4) capacity *= 2;
        void** slots = new (std::nothrow) void*[capacity]();
        if (slots == nullptr) return false;
        void** old = slots_;
        const size_t old_capacity = capacity_;
        slots_ = slots;
        capacity_ = capacity;
        used_ = size_;
        for (size_t j = 0; j < old_capacity; ++j) {
            void* pointer = old[j];
            if (pointer == nullptr || pointer == removed()) continue;
            size_t i = home(pointer);
            while (slots_[i] != nullptr) i = (i + 1) & (capacity_ - 1);
            slots_[i] = pointer;
        }
        delete[] old;
        return true;
    }

    void** slots_ = nullptr;
    size_t capacity_ = 0;  // a power of two, or 0
    size_t size_ = 0;      // pointers held
    size_t used_ = 0;      // slots not empty: pointers held and removed marks
};

// The converted texts handed out and not yet released. Release must also take buffers the
// agent never made, so it looks the pointer up; sharding keeps threads that convert at
// the same time off one lock.
//
// Most buffers released are not the agent's (callers release their own copies of text
// that needed no conversion). A count of registered buffers per hash bucket answers
// those without a lock: a count of 0 means the pointer cannot be registered. The count
// goes up before the buffer is handed out, so a release that the caller orders after
// the conversion sees it.
class BufferRegistry {
  public:
    bool add(void* buffer) noexcept {
        Shard& shard = shard_for(buffer);
        std::atomic<uint32_t>& count = count_for(buffer);
        count.fetch_add(1, std::memory_order_relaxed);
        bool added;
        {
            std::lock_guard<SlotLock> lock(shard.lock);
            added = shard.buffers.insert(buffer);
        }
        if (!added) {
            count.fetch_sub(1, std::memory_order_relaxed);
            return false;
        }
        live_.fetch_add(1, std::memory_order_relaxed);
        return true;
    }

    // Forgets buffer if the agent made it. Done before the buffer is freed, so a new
    // buffer at the same address cannot be forgotten instead.
    void remove(void* buffer) noexcept {
        std::atomic<uint32_t>& count = count_for(buffer);
        if (count.load(std::memory_order_relaxed) == 0) return;
        Shard& shard = shard_for(buffer);
        bool erased;
        {
            std::lock_guard<SlotLock> lock(shard.lock);
            erased = shard.buffers.erase(buffer);
        }
        if (erased) {
            count.fetch_sub(1, std::memory_order_relaxed);
            live_.fetch_sub(1, std::memory_order_relaxed);
        }
    }

    int64_t live() const noexcept { return live_.load(std::memory_order_relaxed); }

  private:
    static constexpr size_t kShards = 16;

#if defined(_MSC_VER)
#pragma warning(push)
#pragma warning(disable : 4324)  // the padding is the point
#endif
    // A spin lock, as for object slots: it is held for one probe of the set.
    struct alignas(64) Shard {
        SlotLock lock;
        PointerSet buffers;
    };
#if defined(_MSC_VER)
#pragma warning(pop)
#endif

    Shard& shard_for(void* buffer) noexcept {
        auto bits = reinterpret_cast<uintptr_t>(buffer);
        // malloc aligns to 16 bytes; the low bits carry nothing.
        return shards_[((bits >> 4) ^ (bits >> 12)) % kShards];
    }

    std::atomic<uint32_t>& count_for(void* buffer) noexcept {
        auto bits = reinterpret_cast<uintptr_t>(buffer) >> 4;
        return counts_[(bits ^ (bits >> 11) ^ (bits >> 23)) % kCounts];
    }

    static constexpr size_t kCounts = 4096;

    Shard shards_[kShards];
    std::atomic<uint32_t> counts_[kCounts] = {};
    std::atomic<int64_t> live_{0};
};

BufferRegistry& buffers() noexcept {
    // Never destroyed: threads may still release buffers while the process exits.
    alignas(BufferRegistry) static unsigned char storage[sizeof(BufferRegistry)];
    static BufferRegistry* const registry = new (storage) BufferRegistry();
    return *registry;
}

int32_t convert(int32_t target, int32_t source, char** output, const char* input) noexcept {
    int32_t status;
    if (take_failure(XELAGT_OP_CONVERT, &status)) {
        if (output != nullptr) *output = nullptr;
        return status;
    }
    if (output == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
    *output = nullptr;
    if (input == nullptr) return XELAGT_ERR_BAD_ARGUMENT;
    // Nothing to do, so nothing is checked either, not even the code set.
    if (target == source) return XELAGT_OK;
    if (!codeset_known(target) || !codeset_known(source)) return XELAGT_ERR_UNKNOWN_CODESET;

    char* converted = nullptr;
    status = platform_convert(target, source, input, &converted);
    if (status != XELAGT_OK) return status;
    if (take_no_output()) {
        std::free(converted);
        return XELAGT_OK;
    }
    if (!buffers().add(converted)) {
        std::free(converted);
        return XELAGT_ERR_OUT_OF_MEMORY;
    }
    *output = converted;
    return XELAGT_OK;
}

}  // namespace

}  // namespace xelagt

using namespace xelagt;

extern "C" {

XELAGT_EXPORT int32_t xelagt_convert_text(int32_t target, int32_t source, char** output,
                                          const char* input, xelagt_status* status) {
    const int32_t result = convert(target, source, output, input);
    if (status != nullptr) {
        // The record keeps the last outcome, in its first four bytes.
        std::memset(status, 0, sizeof(*status));
        std::memcpy(status->opaque, &result, sizeof(result));
    }
    return result;
}

XELAGT_EXPORT void xelagt_release_buffer(void* buffer) {
    if (buffer == nullptr) return;
    buffers().remove(buffer);
    std::free(buffer);
}

XELAGT_EXPORT_NAMED int64_t xelagt_test_live_buffers(void) { return buffers().live(); }

}  // extern "C"
