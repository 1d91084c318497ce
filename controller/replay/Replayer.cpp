#include "controller/replay/Replayer.h"

#include <cstring>

#include "controller/reading/PayloadLayout.h"
#include "controller/reading/RecordView.h"
#include "controller/reading/StreamRecordKind.h"
#include "controller/replay/ReplayCall.h"
#include "gen/ApiDescription.h"
#include "gen/ApiTable.h"
#include "gen/ReplayTable.h"
#include "controller/replay/SurfaceDrawing.h"
#include "stream/StreamRecordId.h"

namespace kestrel::replay {

namespace {
// What a pointer with no recorded data reads: uploads of zero bytes and the like.
constexpr std::size_t kEmptyBytes = 64u << 10;
constexpr std::uint32_t kFirstApiId = 0x40000000u;
}  // namespace

std::int64_t Ticks() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

std::uint32_t Replayer::Call::U32(std::uint32_t at) const {
    std::uint32_t value = 0;
    if (at <= size && size - at >= 4) std::memcpy(&value, payload + at, 4);
    return value;
}

std::uint32_t Replayer::Call::At(const char* field) const {
    for (unsigned i = 0; i < api->fieldCount; ++i)
        if (std::strcmp(api->fields[i].name, field) == 0) return PlaceOf(*api, i, pointerBits).offset;
    return size;
}

std::uint64_t Replayer::Call::Field(const char* field) const {
    for (unsigned i = 0; i < api->fieldCount; ++i) {
        if (std::strcmp(api->fields[i].name, field) != 0) continue;
        const FieldPlace place = PlaceOf(*api, i, pointerBits);
        std::uint64_t value = 0;
        const std::uint32_t width = place.width < 8 ? place.width : 8;
        if (place.offset <= size && size - place.offset >= width) std::memcpy(&value, payload + place.offset, width);
        return value;
    }
    return 0;
}

std::uint32_t Replayer::Call::FixedSize() const { return FixedSizeOf(*api, pointerBits); }

Replayer::Replayer(const ReplaySettings& settings, ReplayTally& tally)
    : settings_(settings), tally_(tally), output_(kOutputBytes), empty_(kEmptyBytes) {
    getIntegerv_ = gl_.Get<decltype(getIntegerv_)>("glGetIntegerv");
}

Replayer::~Replayer() {
    if (current_.context) {
        auto makeCurrent = gl_.Get<BOOL(__stdcall*)(HDC, HGLRC)>("wglMakeCurrent");
        if (makeCurrent) makeCurrent(nullptr, nullptr);
    }
    auto deleteContext = gl_.Get<BOOL(__stdcall*)(HGLRC)>("wglDeleteContext");
    for (auto& [handle, context] : contexts_)
        if (deleteContext && context.real) deleteContext(context.real);
}

std::uint32_t Replayer::Integer(unsigned name) {
    if (name == 0) return 0;  // a target without a binding query
    int value = 0;
    if (getIntegerv_ && current_.context) getIntegerv_(name, &value);
    return static_cast<std::uint32_t>(value);
}

std::uint32_t Replayer::CurrentProgram() { return Integer(0x8B8D); }  // GL_CURRENT_PROGRAM

void Replayer::NotReplayed(const char* name, const std::string& reason) {
    auto& left = tally_.notReplayed[name];
    ++left.count;
    if (left.reason.empty()) left.reason = reason;
}

bool Replayer::Damaged(const CaptureRecord& record, const std::string& why) {
    error_ = "record " + std::to_string(records_) + " at offset " + std::to_string(record.offset) + ": " + why;
    return false;
}

Replayer::Step Replayer::Replay(CaptureRecord& record) {
    ++records_;
    tracker_.Advance(RecordView::Of(record));
    if (!rangeStart_ && tracker_.frame() >= settings_.firstFrame) rangeStart_ = Ticks();
    switch (record.id) {
    case kThreadSwitchRecord: {
        // The context is a handle at the process's width; the replay keys handles by their low 32
        // bits, which is all that a handle of either width carries.
        const RecordView view = RecordView::Of(record);
        const std::uint32_t size = ThreadSwitchSize(record.pointerBits);
        if (record.payload.size() < size)
            return Damaged(record, "a thread switch shorter than " + std::to_string(size) + " bytes"), Step::Damaged;
        SwitchThread(view.U32(0), static_cast<std::uint32_t>(view.Address(4)));
        return Step::Continue;
    }
    case kDrawableRecord: {
        const std::uint32_t size = DrawableSize(record.pointerBits), handle = record.pointerBits / 8;
        if (record.payload.size() < size)
            return Damaged(record, "a drawable record shorter than " + std::to_string(size) + " bytes"), Step::Damaged;
        const RecordView view = RecordView::Of(record);
        std::int32_t rect[4];
        LOGFONTA font{};
        std::memcpy(rect, record.payload.data() + 2 * handle, sizeof rect);
        std::memcpy(&font, record.payload.data() + 2 * handle + 20, sizeof font);
        surfaces_.Describe(static_cast<std::uint32_t>(view.Address(handle)), rect, font);
        return Step::Continue;
    }
    case kClientMemoryBlockRecord:
        arrays_.AddBlock(std::move(record.payload), record.pointerBits);
        return Step::Continue;
    case kMappedWriteRecord:
        return ApplyMappedWrite(record);
    case kFrameEndRecord: {
        if (record.payload.size() < kFrameEndMinSize)
            return Damaged(record, "a frame end record shorter than 8 bytes"), Step::Damaged;
        // The 8-byte form, of an earlier 64-bit recorder too, holds a 32-bit handle.
        const RecordView view = RecordView::Of(record);
        const bool whole = record.payload.size() >= FrameEndSize(record.pointerBits);
        return EndFrame(static_cast<std::uint32_t>(whole ? view.Address(0) : view.U32(0)), false);
    }
    case kPixelFormatRecord: {
        const std::uint32_t size = PixelFormatSize(record.pointerBits), handle = record.pointerBits / 8;
        if (record.payload.size() < size)
            return Damaged(record, "a pixel format record shorter than " + std::to_string(size) + " bytes"),
                   Step::Damaged;
        PIXELFORMATDESCRIPTOR set{};
        std::memcpy(&set, record.payload.data() + handle + 4, sizeof set);
        surfaces_.NoteFormatSet(static_cast<std::uint32_t>(RecordView::Of(record).Address(0)), set);
        return Step::Continue;
    }
    default:
        break;
    }
    if (record.id < kFirstApiId) return Step::Continue;  // the stream's own records
    const Step step = ReplayCallRecord(record);
    // Client memory records feed the one draw that follows them.
    arrays_.ClearBlocks();
    return step;
}

void* Replayer::EntryFor(std::uint32_t id, const char* name) {
    const std::uint64_t key = static_cast<std::uint64_t>(id) << 32 | reinterpret_cast<std::uintptr_t>(name);
    const auto known = entries_.find(key);
    if (known != entries_.end() && known->second) return known->second;
    // The name the application called first, then every other spelling of the function.
    void* entry = gl_.Find(name);
    const description::ApiDescription* api = description::FindApi(id);
    if (!entry && api) entry = gl_.Find(api->name);
    for (unsigned i = 0; !entry && i < description::kAliasCount; ++i)
        if (description::kAliases[i].targetApiId == id) entry = gl_.Find(description::kAliases[i].name);
    if (entry) entries_[key] = entry;
    return entry;
}

void Replayer::CheckError(const CaptureRecord& record) {
    auto getError = gl_.Get<unsigned(__stdcall*)()>("glGetError");
    if (!getError) return;
    std::uint32_t captured = 0;
    std::memcpy(&captured, record.payload.data(), 4);  // the fixed part, checked: the result alone
    const std::uint32_t replayed = getError();
    Issued();
    ++tally_.errorsChecked;
    if (captured == replayed) return;
    ++tally_.errorsDiffering;
    if (tally_.firstDifferences.size() < ReplayTally::kDifferencesKept)
        tally_.firstDifferences.push_back({records_, tracker_.frame(), captured, replayed});
}

Replayer::Step Replayer::ReplayCallRecord(CaptureRecord& record) {
    const ReplayEntry* entry = FindReplayEntry(record.id);
    const description::ApiDescription* api = description::FindApi(record.id);
    if (!entry || !api) return Damaged(record, "unknown call id " + std::to_string(record.id)), Step::Damaged;
    const std::uint32_t fixedSize = FixedSizeOf(*api, record.pointerBits);
    if (record.payload.size() < fixedSize)
        return Damaged(record, std::string(api->name) + " of " + std::to_string(record.payload.size()) +
                                   " bytes, shorter than its " + std::to_string(fixedSize) + "-byte fixed part"),
               Step::Damaged;
    const char* name = tracker_.alias() ? tracker_.alias()->name : api->name;
    if (settings_.checkErrors && record.id == api::glGetError && current_.context) {
        CheckError(record);
        return Step::Continue;
    }
    switch (entry->role) {
    case ReplayRole::Query:
        ++tally_.queries;
        return Step::Continue;
    case ReplayRole::Skipped:
        NotReplayed(name, entry->reason);
        return Step::Continue;
    case ReplayRole::Engine:
    case ReplayRole::Generated:
        break;
    }
    if (!current_.context && record.id != 0 && entry->role == ReplayRole::Generated) {
        // A GL call with no context current did nothing when it was made either.
        NotReplayed(name, "made with no context current");
        return Step::Continue;
    }
    if (current_.context && DrawsIntoSurface(record.id)) {
        const auto drawing = contexts_.find(current_.context);
        if (drawing != contexts_.end()) drawing->second.drawn = true;
    }
    // Arrays held back for a draw point into the client memory records just before it.
    if (arrays_.HasBlocks() && arrays_.Holds(current_.context)) {
        const std::uint32_t arrayBuffer = Integer(0x8894);  // GL_ARRAY_BUFFER_BINDING
        auto bindBuffer = gl_.Get<void(__stdcall*)(unsigned, unsigned)>("glBindBuffer");
        if (arrayBuffer && bindBuffer) bindBuffer(0x8892, 0);
        arrays_.Feed(current_.context, [this](const ClientArrays::Array& array, const void* pointer) {
            IssuePointer(array, pointer);
        });
        if (arrayBuffer && bindBuffer) bindBuffer(0x8892, arrayBuffer);
    }
    void* function = entry->role == ReplayRole::Engine && std::strncmp(name, "wgl", 3) == 0 ? nullptr
                                                                                            : EntryFor(record.id, name);
    const Call call{record.id, name, record.payload.data(), static_cast<std::uint32_t>(record.payload.size()), function,
                    api, record.pointerBits};
    if (entry->role == ReplayRole::Engine) {
        Step step = Step::Continue;
        if (ReplayContextCall(call, step) || ReplayArrayCall(call) || ReplayDrawCall(call) || ReplayObjectCall(call)) {
            // A hand-written replay that finds the record damaged says so in error_.
            if (!error_.empty()) return Damaged(record, error_), Step::Damaged;
            return step;
        }
        NotReplayed(name, "no replay written for it");
        return Step::Continue;
    }
    if (!function) {
        NotReplayed(name, "the system OpenGL does not have it");
        return Step::Continue;
    }
    ReplayCall replay(*this, call.payload, call.size, fixedSize, function, record.pointerBits);
    entry->replay(replay);
    if (replay.damaged())
        return Damaged(record, std::string(name) + ": " + std::to_string(replay.BlockSize()) + " bytes of data for " +
                                   replay.damagedParameter() + ", fewer than the " +
                                   std::to_string(replay.expectedBytes()) + " its arguments give"),
               Step::Damaged;
    if (replay.failed())
        NotReplayed(name, std::string("the capture does not hold the data of ") + replay.failedParameter());
    else
        Issued();
    return Step::Continue;
}

}  // namespace kestrel::replay
