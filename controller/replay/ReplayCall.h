// One recorded call as the replay functions see it: its payload's fields and data, the entry point
// to call, and the name maps of the replay. A call whose data the capture does not hold is marked
// failed and not issued.
#pragma once
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "controller/replay/ObjectKind.h"

namespace kestrel::replay {

class Replayer;

class ReplayCall {
public:
    // pointerBits: the recorded process's; its pointers, handles and pointer-sized integers are that wide.
    ReplayCall(Replayer& replayer, const std::uint8_t* payload, std::uint32_t size, std::uint32_t fixedSize,
               void* entry, std::uint32_t pointerBits = 32)
        : replayer_(replayer), payload_(payload), size_(size), fixedSize_(fixedSize < size ? fixedSize : size),
          entry_(entry), extraBytes_(pointerBits == 64 ? 4 : 0), pointerBytes_(pointerBits / 8) {}

    // The offset of a field that a 32-bit capture has at `bytes32`, behind `pointers` pointer-sized fields.
    std::uint32_t At(std::uint32_t bytes32, std::uint32_t pointers) const { return bytes32 + pointers * extraBytes_; }

    // A field at its offset; zero when the payload is shorter.
    template <class T>
    std::remove_cv_t<T> Value(std::uint32_t at) const {
        std::remove_cv_t<T> value{};
        if (at <= size_ && sizeof(T) <= size_ - at) std::memcpy(&value, payload_ + at, sizeof(T));
        return value;
    }
    // A pointer, handle or pointer-sized integer at the capture's width, widened (signed integers by
    // sign) or narrowed to this process's; zero when the payload is shorter.
    template <class T>
    std::remove_cv_t<T> Pointer(std::uint32_t at) const {
        std::uint64_t bits = 0;
        if (at <= size_ && pointerBytes_ <= size_ - at) std::memcpy(&bits, payload_ + at, pointerBytes_);
        if constexpr (std::is_signed_v<T>) {
            if (pointerBytes_ == 4) bits = static_cast<std::uint64_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(bits)));
        }
        std::remove_cv_t<T> value{};
        static_assert(sizeof(value) <= sizeof bits);
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // The values of a fixed-count vector form, where they stand in the payload (x86 reads them
    // unaligned). The record's size was checked against its fixed part before the call.
    template <class T>
    const T* Values(std::uint32_t at) const {
        return reinterpret_cast<const T*>(payload_ + at);
    }
    // The data block behind the fixed part.
    const std::uint8_t* Block() const { return payload_ + fixedSize_; }
    std::uint32_t BlockSize() const { return size_ - fixedSize_; }

    // What a pointer that the record carries data for stands for in the replay: the data; with none
    // recorded, null for a null pointer, an offset into the buffer bound at `binding` when one is
    // bound there, else an empty buffer.
    const void* Data(const void* recorded, unsigned binding);
    // Whether the data recorded for a pointer holds the `expected` bytes the call's arguments say it
    // reads (nothing is read through a null pointer, or an offset into a buffer bound at `binding`).
    // A record that falls short is damaged: false, and the call is not issued.
    bool Holds(const void* recorded, unsigned binding, std::uint32_t expected, const char* parameter);
    // The same for names, which must also fit the room the replay has for them.
    bool HoldsNames(const void* recorded, std::uint32_t expected, const char* parameter);
    // A string must end within the data.
    bool HoldsString(const void* recorded, const char* parameter);
    // An input pointer whose data the record does not carry: fine when null, else the call cannot be
    // issued (false).
    bool Unrecorded(const void* recorded, const char* parameter);
    bool failed() const { return failedParameter_ != nullptr; }
    const char* failedParameter() const { return failedParameter_; }
    bool damaged() const { return damagedParameter_ != nullptr; }
    const char* damagedParameter() const { return damagedParameter_; }
    std::uint32_t expectedBytes() const { return expected_; }
    // Room for whatever an output pointer receives; it outlives the call.
    template <class T>
    T* Output() {
        return static_cast<T*>(OutputBuffer());
    }

    template <class F>
    F Entry() const {
        return reinterpret_cast<F>(entry_);
    }

    // Object names: the replay's name for a recorded one, and the names and results calls make.
    // T is a 32-bit name, or a sync object's pointer at the replay's own width.
    template <class T>
    T Name(ObjectKind kind, T recorded) {
        static_assert(sizeof(T) == 4 || sizeof(T) == 8);
        std::uint64_t value = 0;
        std::memcpy(&value, &recorded, sizeof(T));
        value = MapName(kind, value);
        T mapped;
        std::memcpy(&mapped, &value, sizeof(T));
        return mapped;
    }
    const std::uint32_t* Names(ObjectKind kind, const std::uint8_t* recorded, std::uint32_t count);
    void MadeNames(ObjectKind kind, const std::uint8_t* recorded, std::uint32_t count, const std::uint32_t* made);
    template <class T>
    void MadeName(ObjectKind kind, T recorded, T made) {
        static_assert(sizeof(T) == 4 || sizeof(T) == 8);
        std::uint64_t r = 0, m = 0;
        std::memcpy(&r, &recorded, sizeof(T));
        std::memcpy(&m, &made, sizeof(T));
        MadeRange(kind, r, m, 1);
    }
    void MadeRange(ObjectKind kind, std::uint64_t recorded, std::uint64_t made, std::int32_t count);
    // Uniform locations belong to a program (the replay's name; 0 for the one in use).
    std::int32_t Location(std::uint32_t program, std::int32_t recorded);
    void MadeLocation(std::uint32_t program, std::int32_t recorded, std::int32_t made);
    // Generic attribute indices, by the program in use: an index set while a program is in use is
    // the one that program was given.
    std::uint32_t Attribute(std::uint32_t recorded);
    void MadeAttribute(std::uint32_t program, std::int32_t recorded, std::int32_t made);

    Replayer& replayer() { return replayer_; }

private:
    std::uint64_t MapName(ObjectKind kind, std::uint64_t recorded);
    void* OutputBuffer();

    Replayer& replayer_;
    const std::uint8_t* payload_;
    std::uint32_t size_;
    std::uint32_t fixedSize_;
    void* entry_;
    std::uint32_t extraBytes_;    // 4 in a 64-bit capture: what each pointer-sized field adds
    std::uint32_t pointerBytes_;
    bool Damaged(const char* parameter, std::uint32_t expected) {
        damagedParameter_ = parameter;
        expected_ = expected;
        return false;
    }

    const char* failedParameter_ = nullptr;
    const char* damagedParameter_ = nullptr;
    std::uint32_t expected_ = 0;
};

}  // namespace kestrel::replay
