// Buffer mappings, sources given as lists of strings, and read-backs. A mapping's bytes reach the
// capture at unmap: the replay maps the same range and writes them there before it unmaps. What the
// application wrote into a persistent mapping reaches the capture as mapped-write records at the
// points where the GL could read it; the replay writes them into its own mapping at the same point.
#include <cstring>
#include <string>
#include <vector>

#include "controller/replay/Replayer.h"
#include "gen/ApiTable.h"
#include "glrecord/MappedBuffers.h"
#include "stream/MappedWritePayload.h"

namespace kestrel::replay {

namespace {
constexpr unsigned kMapWrite = 0x0002;
constexpr unsigned kMapFlushExplicit = 0x0010;
constexpr unsigned kReadOnly = 0x88B8;
constexpr unsigned kBufferSize = 0x8764;
constexpr unsigned kPixelPackBinding = 0x88ED;

// Splits `count` strings, each ended by its NUL, from the data; false when the data ends first.
bool SplitStrings(const std::uint8_t* data, std::uint32_t size, std::int32_t count, std::vector<const char*>& out) {
    std::uint32_t at = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const void* end = at < size ? std::memchr(data + at, 0, size - at) : nullptr;
        if (!end) return false;
        out.push_back(reinterpret_cast<const char*>(data + at));
        at = static_cast<std::uint32_t>(static_cast<const std::uint8_t*>(end) - data) + 1;
    }
    return true;
}
}  // namespace

void Replayer::Map(std::uint32_t buffer, std::uint32_t offset, std::uint32_t length, unsigned access, void* pointer) {
    mappings_[static_cast<std::uint64_t>(current_.context) << 32 | buffer] = {
        static_cast<std::uint8_t*>(pointer), offset, pointer ? length : 0, (access & kMapFlushExplicit) != 0};
}

Replayer::Step Replayer::ApplyMappedWrite(const CaptureRecord& record) {
    const RecordView view = RecordView::Of(record);
    if (view.kept < sizeof(MappedWriteHead))
        return Damaged(record, "a mapped write shorter than 8 bytes"), Step::Damaged;
    const std::uint32_t runs = view.U32(4);
    const std::uint64_t head = sizeof(MappedWriteHead) + std::uint64_t{runs} * sizeof(MappedWriteRun);
    std::uint64_t bytes = 0;
    for (std::uint32_t i = 0; head <= view.kept && i < runs; ++i) bytes += view.U32(sizeof(MappedWriteHead) + i * 8 + 4);
    if (head > view.kept || head + bytes != view.kept)
        return Damaged(record, "a mapped write whose runs do not match its size"), Step::Damaged;
    if (!current_.context) {
        NotReplayed("mapped write", "made with no context current");
        return Step::Continue;
    }
    const std::uint32_t buffer = static_cast<std::uint32_t>(names_.Map(ObjectKind::Buffer, view.U32(0)));
    const auto found = mappings_.find(static_cast<std::uint64_t>(current_.context) << 32 | buffer);
    const Mapping* mapping = found != mappings_.end() && found->second.pointer ? &found->second : nullptr;
    const std::uint8_t* data = view.data + head;
    bool written = true;
    for (std::uint32_t i = 0; i < runs; ++i) {
        const std::uint32_t offset = view.U32(sizeof(MappedWriteHead) + i * 8);
        const std::uint32_t length = view.U32(sizeof(MappedWriteHead) + i * 8 + 4);
        if (mapping && offset >= mapping->offset && length <= mapping->length &&
            offset - mapping->offset <= mapping->length - length)
            std::memcpy(mapping->pointer + (offset - mapping->offset), data, length);
        else
            written = WriteBufferRange(buffer, offset, length, data) && written;
        data += length;
    }
    // A stream record, not a call: counted only when it cannot be applied.
    if (!written)
        NotReplayed("mapped write", "the buffer is not mapped in the replay and the system OpenGL cannot write it");
    return Step::Continue;
}

bool Replayer::WriteBufferRange(std::uint32_t buffer, std::uint32_t offset, std::uint32_t length,
                                const std::uint8_t* data) {
    using SubData = void(__stdcall*)(unsigned, std::intptr_t, std::intptr_t, const void*);
    if (auto named = gl_.Get<SubData>("glNamedBufferSubData")) {
        named(buffer, offset, length, data);
        return true;
    }
    // Through the copy-write target, whose binding nothing else depends on, put back afterwards.
    constexpr unsigned kCopyWrite = 0x8F37;
    auto bind = gl_.Get<void(__stdcall*)(unsigned, unsigned)>("glBindBuffer");
    auto subData = gl_.Get<SubData>("glBufferSubData");
    if (!bind || !subData) return false;
    const std::uint32_t bound = Integer(kCopyWrite);
    bind(kCopyWrite, buffer);
    subData(kCopyWrite, offset, length, data);
    bind(kCopyWrite, bound);
    return true;
}

void Replayer::Unmap(const Call& call, std::uint32_t target, std::uint32_t buffer, bool named) {
    const auto found = mappings_.find(static_cast<std::uint64_t>(current_.context) << 32 | buffer);
    // The bytes the application could have written, after the 5-byte fixed part.
    const std::uint32_t bytes = call.SizeAfter(5);
    if (found != mappings_.end() && found->second.pointer && bytes > 0) {
        const std::uint32_t n = bytes < found->second.length ? bytes : found->second.length;
        std::memcpy(found->second.pointer, call.After(5), n);
        if (found->second.flushExplicit) {
            auto flush = gl_.Get<void(__stdcall*)(unsigned, std::intptr_t, std::intptr_t)>(
                named ? "glFlushMappedNamedBufferRange" : "glFlushMappedBufferRange");
            if (flush) flush(named ? buffer : target, 0, n);
        }
    }
    if (found != mappings_.end()) mappings_.erase(found);
    reinterpret_cast<unsigned char(__stdcall*)(unsigned)>(call.entry)(named ? buffer : target);
}

bool Replayer::ReplayObjectCall(const Call& call) {
    auto v = [&call](const char* field) { return static_cast<std::uint32_t>(call.Field(field)); };
    auto i = [&call](const char* field) { return call.Int(field); };
    // Offsets and lengths are pointer-sized integers.
    auto wide = [&call](const char* field) { return static_cast<std::intptr_t>(call.Field(field)); };
    switch (call.id) {
    case api::glMapBufferARB:
    case api::glMapBufferRange:
    case api::glMapNamedBuffer:
    case api::glMapNamedBufferEXT:
    case api::glMapNamedBufferRange:
    case api::glMapNamedBufferRangeEXT:
    case api::glUnmapBufferARB:
    case api::glUnmapNamedBuffer:
    case api::glUnmapNamedBufferEXT:
    case api::glShaderSourceARB:
    case api::glCreateShaderProgramv:
    case api::glTransformFeedbackVaryings:
    case api::glTransformFeedbackVaryingsEXT:
    case api::glReadPixels:
        break;
    default:
        return false;
    }
    if (!call.entry) {
        NotReplayed(call.name, "the system OpenGL does not have it");
        return true;
    }
    switch (call.id) {
    case api::glMapBufferARB: {
        const unsigned target = v("target"), access = v("access");
        const std::uint32_t buffer = Integer(MappedBufferTable::BindingQuery(target));
        int size = 0;
        auto parameter = gl_.Get<void(__stdcall*)(unsigned, unsigned, int*)>("glGetBufferParameteriv");
        if (parameter) parameter(target, kBufferSize, &size);
        void* pointer = reinterpret_cast<void*(__stdcall*)(unsigned, unsigned)>(call.entry)(target, access);
        Map(buffer, 0, access == kReadOnly ? 0 : static_cast<std::uint32_t>(size), 0, pointer);
        break;
    }
    case api::glMapBufferRange: {
        const unsigned target = v("target"), access = v("access");
        const std::uint32_t buffer = Integer(MappedBufferTable::BindingQuery(target));
        void* pointer = reinterpret_cast<void*(__stdcall*)(unsigned, std::intptr_t, std::intptr_t, unsigned)>(call.entry)(
            target, wide("offset"), wide("length"), access);
        Map(buffer, v("offset"), access & kMapWrite ? v("length") : 0, access, pointer);
        break;
    }
    case api::glMapNamedBuffer:
    case api::glMapNamedBufferEXT: {
        const std::uint32_t buffer = names_.Map(ObjectKind::Buffer, v("buffer"));
        const unsigned access = v("access");
        int size = 0;
        auto parameter = gl_.Get<void(__stdcall*)(unsigned, unsigned, int*)>(
            call.id == api::glMapNamedBuffer ? "glGetNamedBufferParameteriv" : "glGetNamedBufferParameterivEXT");
        if (parameter) parameter(buffer, kBufferSize, &size);
        void* pointer = reinterpret_cast<void*(__stdcall*)(unsigned, unsigned)>(call.entry)(buffer, access);
        Map(buffer, 0, access == kReadOnly ? 0 : static_cast<std::uint32_t>(size), 0, pointer);
        break;
    }
    case api::glMapNamedBufferRange:
    case api::glMapNamedBufferRangeEXT: {
        const std::uint32_t buffer = names_.Map(ObjectKind::Buffer, v("buffer"));
        const unsigned access = v("access");
        void* pointer = reinterpret_cast<void*(__stdcall*)(unsigned, std::intptr_t, std::intptr_t, unsigned)>(call.entry)(
            buffer, wide("offset"), wide("length"), access);
        Map(buffer, v("offset"), access & kMapWrite ? v("length") : 0, access, pointer);
        break;
    }
    case api::glUnmapBufferARB:
        Unmap(call, v("target"), Integer(MappedBufferTable::BindingQuery(v("target"))), false);
        break;
    case api::glUnmapNamedBuffer:
    case api::glUnmapNamedBufferEXT:
        Unmap(call, 0, names_.Map(ObjectKind::Buffer, v("buffer")), true);
        break;
    case api::glShaderSourceARB: {
        // shader, count, strings, lengths, then count lengths as the application gave them, then each
        // string with a NUL after it.
        const std::int32_t count = i("count");
        const bool lengthsGiven = call.Field("length") != 0;
        const std::uint32_t fixed = call.FixedSize();
        if (count < 0 || call.SizeAfter(fixed) < 4u * static_cast<std::uint32_t>(count))
            return NotReplayed(call.name, "its sources are cut short"), true;
        std::vector<std::int32_t> lengths(count);
        if (count) std::memcpy(lengths.data(), call.After(fixed), 4u * count);
        std::vector<const char*> strings;
        const std::uint32_t textAt = fixed + 4u * count;
        if (!SplitStrings(call.After(textAt), call.SizeAfter(textAt), count, strings))
            return NotReplayed(call.name, "its sources are cut short"), true;
        reinterpret_cast<void(__stdcall*)(unsigned, std::int32_t, const char* const*, const std::int32_t*)>(call.entry)(
            names_.Map(ObjectKind::ShaderObject, v("shaderObj")), count, strings.data(), lengthsGiven ? lengths.data() : nullptr);
        break;
    }
    case api::glCreateShaderProgramv: {
        std::vector<const char*> strings;
        const std::uint32_t fixed = call.FixedSize();
        if (i("count") < 0 || !SplitStrings(call.After(fixed), call.SizeAfter(fixed), i("count"), strings))
            return NotReplayed(call.name, "its sources are cut short"), true;
        const unsigned made = reinterpret_cast<unsigned(__stdcall*)(unsigned, std::int32_t, const char* const*)>(
            call.entry)(v("type"), i("count"), strings.data());
        names_.Made(ObjectKind::ShaderObject, v("result"), made);
        break;
    }
    case api::glTransformFeedbackVaryings:
    case api::glTransformFeedbackVaryingsEXT: {
        std::vector<const char*> strings;
        const std::uint32_t fixed = call.FixedSize();
        if (i("count") < 0 || !SplitStrings(call.After(fixed), call.SizeAfter(fixed), i("count"), strings))
            return NotReplayed(call.name, "its names are cut short"), true;
        reinterpret_cast<void(__stdcall*)(unsigned, std::int32_t, const char* const*, unsigned)>(call.entry)(
            names_.Map(ObjectKind::ShaderObject, v("program")), i("count"), strings.data(), v("bufferMode"));
        break;
    }
    case api::glReadPixels:
        // Into client memory it only reads back; into a pixel pack buffer it changes the buffer.
        if (Integer(kPixelPackBinding) == 0) {
            ++tally_.queries;
            return true;
        }
        reinterpret_cast<void(__stdcall*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, unsigned, unsigned,
                                          const void*)>(call.entry)(i("x"), i("y"), i("width"), i("height"), v("format"),
                                                                    v("type"), reinterpret_cast<const void*>(wide("pixels")));
        break;
    default:
        break;
    }
    Issued();
    return true;
}

}  // namespace kestrel::replay
