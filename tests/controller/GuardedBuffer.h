// Memory that ends at a page that cannot be read, so that reading even one byte past the data
// placed in it faults at once instead of going unnoticed.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>

namespace kestrel::test {

class GuardedBuffer {
public:
    explicit GuardedBuffer(std::size_t capacity) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const std::size_t page = info.dwPageSize;
        capacity_ = (capacity + page - 1) / page * page;
        base_ = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, capacity_ + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (base_) VirtualProtect(base_ + capacity_, page, PAGE_NOACCESS, &old);
    }
    ~GuardedBuffer() {
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
    }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    bool valid() const { return base_ != nullptr; }
    std::size_t capacity() const { return capacity_; }
    // Copies the bytes so that they end where the unreadable page begins; returns their start.
    const std::uint8_t* Place(const std::uint8_t* data, std::size_t size) {
        std::uint8_t* at = base_ + capacity_ - size;
        if (size) std::memcpy(at, data, size);
        return at;
    }

private:
    std::uint8_t* base_ = nullptr;
    std::size_t capacity_ = 0;
};

}  // namespace kestrel::test
