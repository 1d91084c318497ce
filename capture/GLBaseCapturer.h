// The OpenGL capturer: one virtual recorder per exported entry point, the binding to the real
// library, the record writing and the per-context bookkeeping.
#pragma once
#include <windows.h>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>

#include "capture/BaseCapturer.h"
#include "channel/ClientExtent.h"
#include "glrecord/ContextState.h"
#include "glrecord/GLTypes.h"
#include "stream/AliasMarkerPayload.h"
#include "stream/DrawablePayload.h"

namespace kestrel {

extern "C" void* g_realEntries[];

class GLBaseCapturer : public BaseCapturer {
public:
    GLBaseCapturer();
    ~GLBaseCapturer() override;

    void OnFrameEnd() override;
    void OnImageSaved() override {}
    void OnOutermostEnter() override;
    std::uint32_t BindRealLibrary() override;
    std::uint32_t OnShutdown() override { return 1; }
    std::uint32_t BeginRecord(std::uint32_t apiId, std::uint32_t payloadSize) override;
    std::uint32_t WriteData(std::uint32_t size, const void* data) override;
    // BeginRecord and a WriteData of the payload's first headSize bytes in one ring write. `record`
    // starts with kRecordRoom bytes for the header, which the stream fills; those bytes follow.
    static constexpr std::uint32_t kRecordRoom = CaptureStream::kHeaderRoom;
    __attribute__((always_inline)) std::uint32_t BeginRecordWith(std::uint32_t apiId, std::uint32_t payloadSize,
                                                                 unsigned char* record, std::uint32_t headSize) {
        if (__builtin_expect(aliasTargetId_.load(std::memory_order_relaxed) == apiId, 0) && aliasThread_ == CurrentThreadId())
            return WriteAliased(apiId, aliasNumber_, payloadSize, record, headSize, 0, nullptr);
        return recordStream_.WriteRecord(apiId, payloadSize, record, headSize);
    }
    // BeginRecordWith of a record whose payload is those headSize bytes and a data block (WriteBlock's
    // bytes: zeros when the source is null), all in one ring write.
    __attribute__((always_inline)) std::uint32_t WriteBlockRecord(std::uint32_t apiId, unsigned char* record,
                                                                 std::uint32_t headSize, std::uint32_t blockSize,
                                                                 const void* block) {
        if (__builtin_expect(aliasTargetId_.load(std::memory_order_relaxed) == apiId, 0) && aliasThread_ == CurrentThreadId())
            return WriteAliased(apiId, aliasNumber_, headSize + blockSize, record, headSize, blockSize, block);
        return recordStream_.WriteRecord(apiId, headSize + blockSize, record, headSize, blockSize, block);
    }

    // The gate of a generated recorder. Its interceptor calls it only while a capture runs, and a
    // capture stops only when the process ends, so the gate checks neither start-up nor the running
    // flag again: it looks the thread's depth entry up once. Calls made inside the real call leave
    // the depth as they found it, so the entry says after the call too whether it is the outermost.
    __attribute__((always_inline)) ThreadDepthEntry* EnterRunningGate() {
        ThreadDepthEntry* entry = threadDepths_.enterEntry(CurrentThreadId());
        if (entry->depth == 1) EnterOutermost();
        return entry;
    }
    __attribute__((always_inline)) bool RecordsCall(ThreadDepthEntry* entry) {
        if (entry->depth != 1) return false;
        ++callsInFrame_;
        return true;
    }
    __attribute__((always_inline)) void LeaveRunningGate(ThreadDepthEntry* entry) {
        if (entry->depth == 1) recordStream_.ReleaseLock();
        --entry->depth;
    }

    // A generated recorder's record: fill(address) writes the kHead bytes of the payload's fixed part,
    // a data block of blockSize bytes from `block` (zeros when it is null) follows. Built straight
    // in the ring when it can be, else in a buffer of the recorder's own that goes through the ring.
    template <std::uint32_t kHead, class Fill>
    __attribute__((always_inline)) void WriteFilled(std::uint32_t apiId, Fill fill, std::uint32_t blockSize = 0,
                                                    const void* block = nullptr) {
        if (__builtin_expect(recordStream_.WriteInPlace(apiId, kHead, fill, blockSize, block), 1)) return;
        // The fill inlined here too, so that no copy of the values is made for the common path.
        unsigned char record[kRecordRoom + kHead];
        fill(record + kRecordRoom);
        WriteBufferedRecord(apiId, record, kHead, blockSize, block);
    }
    // The same for an alias's generated recorder: the alias marker record and the target's record,
    // in one ring write under one time stamp.
    template <std::uint32_t kHead, class Fill>
    __attribute__((always_inline)) void WriteFilledAlias(std::uint32_t apiId, std::uint32_t aliasNumber, Fill fill,
                                                         std::uint32_t blockSize = 0, const void* block = nullptr) {
        std::uint8_t lead[CaptureStream::kLeadRoom];
        AliasLead(lead, apiId, aliasNumber, kHead + blockSize);
        if (__builtin_expect(recordStream_.WriteInPlace(apiId, kHead, fill, blockSize, block, lead), 1)) return;
        unsigned char record[kRecordRoom + kHead];
        fill(record + kRecordRoom);
        WriteAliased(apiId, aliasNumber, kHead + blockSize, record, kHead, blockSize, block);
    }
    // A data block of a payload: zeros of that length when the source is null, so that the bytes
    // written always match the declared size.
    std::uint32_t WriteBlock(std::uint32_t size, const void* data);

#include "recorder_decls.inc"

    // The real entry point of a function; inside an alias call on this thread, the alias's own one
    // for the target's id, so that no other thread's call of the target is redirected.
    __attribute__((always_inline)) void* RealEntry(unsigned index, std::uint32_t apiId) const {
        if (__builtin_expect(aliasTargetId_.load(std::memory_order_relaxed) == apiId, 0) && aliasThread_ == CurrentThreadId())
            return aliasReal_;
        return g_realEntries[index];
    }

    // An alias entry point runs its target's recorder inside one of these.
    class AliasCall {
    public:
        AliasCall(GLBaseCapturer& capturer, std::uint32_t aliasNumber, std::uint32_t targetId, void* aliasReal);
        ~AliasCall();
        AliasCall(const AliasCall&) = delete;
        AliasCall& operator=(const AliasCall&) = delete;
    private:
        GLBaseCapturer& capturer_;
        std::uint32_t savedNumber_, savedTarget_;
        DWORD savedThread_;
        void* savedReal_;
        bool locked_;
    };

    HMODULE realLibrary() const { return realLibrary_; }
    std::uint32_t extensionsResolved() const { return extensionsResolved_; }
    std::uint32_t aliasNumber() const { return aliasNumber_; }
    std::uint32_t aliasTargetId() const { return aliasTargetId_.load(std::memory_order_relaxed); }

protected:
    // OnOutermostEnter, inline up to the thread switch record.
    __attribute__((always_inline)) void EnterOutermost() {
        recordStream_.AcquireLock();
        if (__builtin_expect(CurrentThreadId() != lastRecordedThread_, 0)) SwitchThread();
    }
    void SwitchThread();
    // The alias marker record ahead of a record of the given payload size, its time stamp left to the writer.
    static __attribute__((always_inline)) void AliasLead(std::uint8_t* lead, std::uint32_t apiId,
                                                         std::uint32_t aliasNumber, std::uint32_t payloadSize) {
        static_assert(CaptureStream::kLeadRoom == sizeof(RecordHeader) + sizeof(AliasMarkerPayload));
        const RecordHeader header{kAliasMarkerRecord, AliasMarkerPayload::DeclaredSize(payloadSize), 0};
        const AliasMarkerPayload marker{apiId, aliasNumber};
        std::memcpy(lead, &header, sizeof header);
        std::memcpy(lead + sizeof header, &marker, sizeof marker);
    }
    std::uint32_t WriteBufferedRecord(std::uint32_t apiId, unsigned char* record, std::uint32_t headSize,
                                      std::uint32_t blockSize, const void* block);
    void WriteAliasMarker(std::uint32_t apiId, std::uint32_t aliasNumber, std::uint32_t payloadSize);
    // The alias marker and the record it marks, in one ring write where they fit in one piece.
    std::uint32_t WriteAliased(std::uint32_t apiId, std::uint32_t aliasNumber, std::uint32_t payloadSize,
                               unsigned char* record, std::uint32_t headSize, std::uint32_t blockSize,
                               const void* block);

    std::uint32_t extensionsResolved_ = 0;

    // Binding state.
    HMODULE realLibrary_ = nullptr;
    std::uint32_t* bindMarker_ = nullptr;
    void* scratch_ = nullptr;
    std::uint32_t scratchSize_ = 0;
    CRITICAL_SECTION aliasLock_{};

    // Alias state: written under the alias lock by the thread that runs the alias call.
    std::uint32_t aliasNumber_ = 0;
    std::atomic<std::uint32_t> aliasTargetId_{0};
    DWORD aliasThread_ = 0;
    void* aliasReal_ = nullptr;

    // Per-context bookkeeping. The maps have no lock of their own: they change inside recorded calls,
    // under the record stream's lock.
    std::map<DWORD, Address> threadContexts_;  // thread id -> current rendering context
    std::map<Address, std::unique_ptr<ContextState>> contextStates_;  // context -> recording state
    std::map<Address, DrawableRecord> drawables_;  // device context -> drawable record
    std::map<Address, ClientExtent> extents_;  // client array address -> largest extent read
};

}  // namespace kestrel
