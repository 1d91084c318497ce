#include "capture/GLBaseCapturer.h"

#include <cstdlib>
#include <cstring>

#include "gen/ApiTable.h"
#include "stream/AliasMarkerPayload.h"
#include "stream/RecordHeader.h"
#include "stream/ThreadSwitchPayload.h"

namespace kestrel {

namespace {
HMODULE OwnModule() {
    HMODULE own = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnModule), &own);
    return own;
}
}  // namespace

GLBaseCapturer::GLBaseCapturer() { apiType_ = 2; }

GLBaseCapturer::~GLBaseCapturer() {
    if (bindMarker_) {
        std::free(scratch_);
        scratch_ = nullptr;
        DeleteCriticalSection(&aliasLock_);
        std::free(bindMarker_);
        bindMarker_ = nullptr;
    }
    if (realLibrary_) FreeLibrary(realLibrary_);
    realLibrary_ = nullptr;
}

void GLBaseCapturer::OnFrameEnd() {
    BaseCapturer::OnFrameEnd();
    if (stats_.header() && sessionChannel_) stats_.publishExtents(extents_, *sessionChannel_, instanceId_);
}

std::uint32_t GLBaseCapturer::BindRealLibrary() {
    bindMarker_ = static_cast<std::uint32_t*>(std::calloc(2, sizeof(std::uint32_t)));
    if (!bindMarker_) std::exit(1);

    char path[MAX_PATH + 32] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    std::strcat(path, "\\");
    const std::size_t folder = std::strlen(path);
    std::strcat(path, settings_.hookMode == 0 ? "OpenGL32.dll" : "OpenGL32-orig.dll");
    realLibrary_ = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD error = realLibrary_ ? 0 : GetLastError();
    // A recorder copied beside an application has no "-orig" file to bind: the system's own library
    // lets the application run on uncaptured.
    if (!realLibrary_ && settings_.hookMode != 0 && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
        std::strcpy(path + folder, "OpenGL32.dll");
        realLibrary_ = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!realLibrary_) error = GetLastError();
    }
    // Binding our own module would send every call back into the recorder.
    if (realLibrary_ && realLibrary_ == OwnModule()) {
        FreeLibrary(realLibrary_);
        realLibrary_ = nullptr;
        error = ERROR_MOD_NOT_FOUND;
    }
    if (!realLibrary_) {
        char* text = nullptr;
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0x400,
                       reinterpret_cast<char*>(&text), 0, nullptr);
        MessageBoxA(nullptr, text ? text : "", "LoadLibrary error", MB_ICONINFORMATION);
        LocalFree(text);
        std::exit(1);
    }
    for (const BindingEntry& entry : kBindingOrder)
        g_realEntries[entry.slot] = reinterpret_cast<void*>(GetProcAddress(realLibrary_, entry.name));

    InitializeCriticalSection(&aliasLock_);
    scratch_ = nullptr;
    scratchSize_ = 0;
    aliasNumber_ = 0;
    aliasTargetId_.store(0, std::memory_order_relaxed);
    return 1;
}

void GLBaseCapturer::OnOutermostEnter() { EnterOutermost(); }

__attribute__((noinline)) void GLBaseCapturer::SwitchThread() {
    const DWORD thread = CurrentThreadId();
    lastRecordedThread_ = thread;
    // try_emplace adds the thread with context 0 when it has none on record.
    const ThreadSwitchPayload payload{thread, threadContexts_.try_emplace(thread, 0).first->second};
    recordStream_.WriteWholeRecord(kThreadSwitchRecord, payload);  // no alias records a stream record
    ++callsInFrame_;
}

std::uint32_t GLBaseCapturer::BeginRecord(std::uint32_t apiId, std::uint32_t payloadSize) {
    if (apiId == aliasTargetId_.load(std::memory_order_relaxed) && aliasThread_ == CurrentThreadId())
        WriteAliasMarker(apiId, aliasNumber_, payloadSize);
    return recordStream_.WriteRecordHeader(apiId, payloadSize);
}

void GLBaseCapturer::WriteAliasMarker(std::uint32_t apiId, std::uint32_t aliasNumber, std::uint32_t payloadSize) {
    recordStream_.WriteWholeRecord(kAliasMarkerRecord, AliasMarkerPayload{apiId, aliasNumber},
                                   AliasMarkerPayload::DeclaredSize(payloadSize));
}

std::uint32_t GLBaseCapturer::WriteBufferedRecord(std::uint32_t apiId, unsigned char* record, std::uint32_t headSize,
                                                  std::uint32_t blockSize, const void* block) {
    if (apiId == aliasTargetId_.load(std::memory_order_relaxed) && aliasThread_ == CurrentThreadId())
        return WriteAliased(apiId, aliasNumber_, headSize + blockSize, record, headSize, blockSize, block);
    return recordStream_.WriteRecordThroughRing(apiId, headSize + blockSize, record, headSize, blockSize, block);
}

__attribute__((noinline)) std::uint32_t GLBaseCapturer::WriteAliased(std::uint32_t apiId, std::uint32_t aliasNumber,
                                                                     std::uint32_t payloadSize,
                                                                     unsigned char* record, std::uint32_t headSize,
                                                                     std::uint32_t blockSize, const void* block) {
    constexpr std::uint32_t kLead = sizeof(RecordHeader) + sizeof(AliasMarkerPayload);
    constexpr std::uint32_t kMost = 512;  // larger records take a ring write of their own after the marker
    const std::uint32_t size = kLead + kRecordRoom + headSize + blockSize;
    if (size > kMost) {
        WriteAliasMarker(apiId, aliasNumber, payloadSize);
        return recordStream_.WriteRecord(apiId, payloadSize, record, headSize, blockSize, block);
    }
    unsigned char run[kMost];
    // One time stamp serves both: the marker stands at the same moment as the record it marks.
    const std::int64_t now = recordStream_.TimeStamp();
    const RecordHeader markerHeader{kAliasMarkerRecord, AliasMarkerPayload::DeclaredSize(payloadSize), now};
    const AliasMarkerPayload marker{apiId, aliasNumber};
    const RecordHeader header{apiId, payloadSize, now};
    std::memcpy(run, &markerHeader, sizeof markerHeader);
    std::memcpy(run + sizeof markerHeader, &marker, sizeof marker);
    std::memcpy(run + kLead, &header, sizeof header);
    CopyBytes(run + kLead + kRecordRoom, record + kRecordRoom, headSize);
    if (block != nullptr) {
        CopyBytes(run + kLead + kRecordRoom + headSize, block, blockSize);
    } else {
        std::memset(run + kLead + kRecordRoom + headSize, 0, blockSize);
    }
    return recordStream_.WriteBytes(size, run);
}

std::uint32_t GLBaseCapturer::WriteData(std::uint32_t size, const void* data) {
    if (size == 0 || data == nullptr) return 0;
    return recordStream_.WriteBytes(size, data);
}

std::uint32_t GLBaseCapturer::WriteBlock(std::uint32_t size, const void* data) {
    if (data || size == 0) return WriteData(size, data);
    static const std::uint8_t kZeros[4096] = {};
    std::uint32_t status = 0;
    for (std::uint32_t done = 0; done < size && status == 0;) {
        const std::uint32_t piece = size - done < sizeof kZeros ? size - done : sizeof kZeros;
        status = WriteData(piece, kZeros);
        done += piece;
    }
    return status;
}

GLBaseCapturer::AliasCall::AliasCall(GLBaseCapturer& capturer, std::uint32_t aliasNumber, std::uint32_t targetId,
                                     void* aliasReal)
    : capturer_(capturer) {
    // Binding creates the alias lock, so start-up must have run before it is taken; the lock comes
    // before the gate, and a recorder inside an alias call may take it again.
    capturer_.EnsureStarted();
    locked_ = capturer_.bindMarker_ != nullptr;
    if (locked_) EnterCriticalSection(&capturer_.aliasLock_);
    savedNumber_ = capturer_.aliasNumber_;
    savedTarget_ = capturer_.aliasTargetId_.load(std::memory_order_relaxed);
    savedThread_ = capturer_.aliasThread_;
    savedReal_ = capturer_.aliasReal_;
    capturer_.aliasNumber_ = aliasNumber;
    capturer_.aliasThread_ = CurrentThreadId();
    capturer_.aliasReal_ = aliasReal;
    capturer_.aliasTargetId_.store(targetId, std::memory_order_release);
}

GLBaseCapturer::AliasCall::~AliasCall() {
    capturer_.aliasTargetId_.store(savedTarget_, std::memory_order_release);
    capturer_.aliasNumber_ = savedNumber_;
    capturer_.aliasThread_ = savedThread_;
    capturer_.aliasReal_ = savedReal_;
    if (locked_) LeaveCriticalSection(&capturer_.aliasLock_);
}

}  // namespace kestrel
