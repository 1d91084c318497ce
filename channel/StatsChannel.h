// The statistics blocks of a capture: the header "<base>_RDStats" and the data block it names.
// The recorder opens them and publishes into them; the controlling process creates them and grows
// the data block on request.
#pragma once
#include <windows.h>
#include <cstdint>
#include <map>

#include "channel/ClientExtent.h"

#include "channel/StatsHeader.h"

namespace kestrel {

class MessageChannel;

// What a statistics publish writes into the header.
struct StatsCounters {
    std::uint32_t frame = 1;
    std::uint32_t calls = 0;
    std::uint32_t counter12 = 0;
    std::uint32_t counter288 = 0;
    std::uint32_t counter292 = 0;
    std::uint8_t status = 1;
};

class StatsChannel {
public:
    static constexpr std::uint32_t kInitialDataCapacity = 1024;
    static constexpr DWORD kLockGiveUpMs = 1000;
    static constexpr std::uint32_t kNameSize = StatsHeader::kNameSize;

    StatsChannel() = default;
    ~StatsChannel() { close(); }
    StatsChannel(const StatsChannel&) = delete;
    StatsChannel& operator=(const StatsChannel&) = delete;

    // Recorder: opens the header and the initial data block, creating nothing. Result 0, 2 or 3.
    std::uint32_t open(const char* baseName);

    // Recorder: writes the counters under the header lock.
    void publishStatistics(const StatsCounters& counters);

    // Recorder: writes the extent record (client array address -> largest extent read) into the data
    // block, first asking for a larger block with GrowStatsData on the session channel (tagged with
    // the instance id) when it is too small. Returns true when the data block holds the whole table
    // (an empty table writes nothing and resets dataUsed).
    bool publishExtents(const std::map<std::uintptr_t, ClientExtent>& extents, MessageChannel& session,
                        std::uint32_t instanceId);

    // Controlling process: creates the header and a zeroed 1,024-byte data block "<base>_RDData0",
    // with dataName and dataCapacity filled in. Result 0, 2 or 3.
    std::uint32_t create(const char* baseName);

    // Controlling process: answers GrowStatsData with a new data block of at least bytesNeeded bytes
    // under a new name, recorded in the header. Returns the Status byte to reply with.
    std::uint8_t grow(std::uint32_t bytesNeeded);

    void close();

    StatsHeader* header() const { return header_; }
    const std::uint8_t* data() const { return data_; }
    std::uint32_t dataMappedSize() const { return dataMapped_; }

private:
    // Maps the header and the first data block, creating them with create; dataName gets the latter's name.
    std::uint32_t attach(const char* baseName, bool create, char (&dataName)[kNameSize + 32]);
    std::uint32_t openHeader(bool create);
    std::uint32_t mapData(const char* name, std::uint32_t size, bool create);
    void mapCurrentData();  // the block the header names, header lock held
    void closeData();
    void lock();
    void unlock();
    bool append(const void* bytes, std::uint32_t size);  // header lock held

    char baseName_[kNameSize] = {};
    HANDLE headerMapping_ = nullptr;
    StatsHeader* header_ = nullptr;
    HANDLE dataMapping_ = nullptr;
    std::uint8_t* data_ = nullptr;
    std::uint32_t dataMapped_ = 0;  // bytes of the data view; writes never pass it, whatever the header says
    std::uint32_t nextDataIndex_ = 0;  // creator: number of the next data block name
};

}  // namespace kestrel
