#include "channel/StatsChannel.h"

#include <cstdio>
#include <cstring>

#include "channel/GrowStatsData.h"
#include "channel/MessageChannel.h"
#include "channel/StatsRecordHead.h"
#include "channel/TimedExchangeWord.h"

namespace kestrel {

namespace {
constexpr DWORD kAllAccess = 0xF001F;

// Block names: the base name may take 259 characters, the suffix comes on top.
using BlockName = char[StatsChannel::kNameSize + 32];

void FormatBlockName(BlockName& name, const char* baseName, const char* suffix) {
    std::snprintf(name, sizeof name, "%s%s", baseName, suffix);
}

void CloseIfValid(HANDLE& handle) {
    if (handle && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    handle = nullptr;
}
}  // namespace

void StatsChannel::lock() { AcquireExchangeWordWithin(&header_->lock, kLockGiveUpMs); }

void StatsChannel::unlock() { ReleaseExchangeWord(&header_->lock); }

std::uint32_t StatsChannel::openHeader(bool create) {
    BlockName name;
    FormatBlockName(name, baseName_, "_RDStats");
    headerMapping_ = create ? CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(StatsHeader), name)
                            : OpenFileMappingA(kAllAccess, FALSE, name);
    if (!headerMapping_) return 2;
    header_ = static_cast<StatsHeader*>(MapViewOfFile(headerMapping_, kAllAccess, 0, 0, sizeof(StatsHeader)));
    if (!header_) {
        CloseIfValid(headerMapping_);
        return 3;
    }
    return 0;
}

std::uint32_t StatsChannel::mapData(const char* name, std::uint32_t size, bool create) {
    dataMapping_ = create ? CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name)
                          : OpenFileMappingA(kAllAccess, FALSE, name);
    if (!dataMapping_) return 2;
    data_ = static_cast<std::uint8_t*>(MapViewOfFile(dataMapping_, kAllAccess, 0, 0, size));
    if (!data_) {
        CloseIfValid(dataMapping_);
        return 3;
    }
    dataMapped_ = size;
    return 0;
}

void StatsChannel::mapCurrentData() {
    char name[kNameSize];
    std::memcpy(name, header_->dataName, sizeof name);
    name[sizeof name - 1] = '\0';
    mapData(name, header_->dataCapacity, false);
}

void StatsChannel::closeData() {
    if (data_) UnmapViewOfFile(data_);
    data_ = nullptr;
    dataMapped_ = 0;
    CloseIfValid(dataMapping_);
}

void StatsChannel::close() {
    closeData();
    if (header_) UnmapViewOfFile(header_);
    header_ = nullptr;
    CloseIfValid(headerMapping_);
}

// Both sides map the header block and then the first data block; the creator also sets them up.
std::uint32_t StatsChannel::attach(const char* baseName, bool create, BlockName& dataName) {
    close();
    std::snprintf(baseName_, sizeof baseName_, "%s", baseName);
    std::uint32_t result = openHeader(create);
    if (result != 0) return result;
    FormatBlockName(dataName, baseName_, "_RDData0");
    result = mapData(dataName, kInitialDataCapacity, create);
    if (result != 0) close();
    return result;
}

std::uint32_t StatsChannel::open(const char* baseName) {
    BlockName name;
    return attach(baseName, false, name);
}

std::uint32_t StatsChannel::create(const char* baseName) {
    BlockName name;
    std::uint32_t result = attach(baseName, true, name);
    if (result != 0) return result;
    std::memset(header_, 0, sizeof(StatsHeader));
    std::memset(data_, 0, kInitialDataCapacity);
    std::snprintf(header_->dataName, sizeof header_->dataName, "%s", name);
    header_->dataCapacity = kInitialDataCapacity;
    nextDataIndex_ = 1;
    return 0;
}

std::uint8_t StatsChannel::grow(std::uint32_t bytesNeeded) {
    if (!header_) return kStatusRefused;
    // Whole pages: the mapping takes them anyway, and a little room spares the next request.
    const std::uint32_t size = (bytesNeeded + 4095u) & ~4095u;
    if (size < bytesNeeded) return kStatusRefused;
    BlockName name;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "_RDData%u", static_cast<unsigned>(nextDataIndex_));
    FormatBlockName(name, baseName_, suffix);
    if (std::strlen(name) >= sizeof header_->dataName) return kStatusRefused;

    HANDLE oldMapping = dataMapping_;
    std::uint8_t* oldData = data_;
    const std::uint32_t oldSize = dataMapped_;
    dataMapping_ = nullptr;
    data_ = nullptr;
    if (mapData(name, size, true) != 0) {
        dataMapping_ = oldMapping;
        data_ = oldData;
        dataMapped_ = oldSize;
        return kStatusRefused;
    }
    std::memset(data_, 0, size);
    ++nextDataIndex_;
    lock();
    std::memcpy(header_->dataName, name, std::strlen(name) + 1);
    header_->dataCapacity = size;
    header_->dataUsed = 0;
    unlock();
    if (oldData) UnmapViewOfFile(oldData);
    CloseIfValid(oldMapping);
    return kStatusAccepted;
}

void StatsChannel::publishStatistics(const StatsCounters& counters) {
    if (!header_) return;
    lock();
    header_->frame = counters.frame;
    header_->calls = counters.calls;
    header_->counter12 = counters.counter12;
    header_->counter288 = counters.counter288;
    header_->counter292 = counters.counter292;
    header_->status = counters.status;
    unlock();
}

bool StatsChannel::append(const void* bytes, std::uint32_t size) {
    const std::uint32_t used = header_->dataUsed;
    std::uint32_t capacity = header_->dataCapacity;
    if (capacity > dataMapped_) capacity = dataMapped_;
    if (!data_ || used > capacity || size > capacity - used) return false;
    std::memcpy(data_ + used, bytes, size);
    header_->dataUsed = used + size;
    return true;
}

bool StatsChannel::publishExtents(const std::map<std::uintptr_t, ClientExtent>& extents, MessageChannel& session,
                                  std::uint32_t instanceId) {
    if (!header_) return false;
    const auto count = static_cast<std::uint32_t>(extents.size());
    const std::uint32_t needed = sizeof(StatsRecordHead) + 4 + count * sizeof(StatsExtentPair);
    lock();
    if (header_->dataCapacity < needed) {
        closeData();
        unlock();
        GrowStatsData request;
        request.bytesNeeded = needed;
        std::uint8_t reply[MessageChannel::kMaxPayload];
        std::uint32_t replySize = 0;
        const bool grown = session.exchange(&request, sizeof request, instanceId, reply, &replySize) == kChannelOk &&
                           replySize >= 1 && reply[0] == kStatusAccepted;
        lock();
        if (grown) mapCurrentData();
    } else if (!data_) {
        // Closed by an earlier growth that failed; the block the header names is big enough now.
        mapCurrentData();
    }
    header_->dataUsed = 0;
    bool written = true;
    if (count != 0) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const StatsRecordHead head{kStatsExtentsRecordId, needed - static_cast<std::uint32_t>(sizeof(StatsRecordHead)),
                                   static_cast<std::uint64_t>(now.QuadPart)};
        // All or nothing: a record cut short would mislead the reader.
        std::uint32_t capacity = header_->dataCapacity;
        if (capacity > dataMapped_) capacity = dataMapped_;
        written = data_ && capacity >= needed && append(&head, sizeof head) && append(&count, sizeof count);
        for (auto it = extents.begin(); written && it != extents.end(); ++it) {
            // The statistics block has one layout for both widths: a 64-bit process's addresses go in
            // by their low 32 bits, which the controlling process only shows.
            const StatsExtentPair pair{static_cast<std::uint32_t>(it->first), it->second.extent};
            written = append(&pair, sizeof pair);
        }
    }
    unlock();
    return written;
}

}  // namespace kestrel
