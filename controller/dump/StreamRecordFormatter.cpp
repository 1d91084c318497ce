#include "controller/dump/StreamRecordFormatter.h"

#include "controller/reading/StreamRecordKind.h"
#include "environment/ApiTypeName.h"
#include "gen/ApiDescription.h"
#include "stream/MappedWritePayload.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

namespace {
// Offsets in the drawable record and the LOGFONTA and DIBSECTION that it carries, after its two
// handles (window, device context) at the capture's pointer width.
constexpr std::uint32_t kRectAfterHandles = 0;
constexpr std::uint32_t kKindAfterHandles = 16;
constexpr std::uint32_t kFontAfterHandles = 20;
constexpr std::uint32_t kFaceNameInFont = 28;
constexpr std::uint32_t kFaceNameSize = 32;
constexpr std::uint32_t kChangeFlagsAfterHandles = 80;

void Flags(TextOutput& out, std::uint32_t flags, const char* const* names, unsigned count, const char* none) {
    if (flags == 0) {
        out << none;
        return;
    }
    bool first = true;
    for (unsigned bit = 0; bit < count; ++bit) {
        if (!(flags & (1u << bit))) continue;
        if (!first) out << '|';
        first = false;
        out << names[bit];
    }
    if (const std::uint32_t rest = flags & ~((1u << count) - 1)) {
        if (!first) out << '|';
        out.Hex(rest);
    }
}

void ThreadSwitch(TextOutput& out, const RecordView& r) {
    out << "thread switch: thread ";
    out.Unsigned(r.U32(0));
    out << ", context ";
    out.Hex(r.Address(4));
}

void AliasMarker(TextOutput& out, const RecordView& r) {
    const std::uint32_t target = r.U32(0), number = r.U32(4);
    const description::AliasDescription* alias = description::FindAlias(number);
    const description::ApiDescription* api = description::FindApi(target);
    if (alias && alias->targetApiId == target) {
        out << "alias marker: " << alias->name << " (alias ";
        out.Unsigned(number);
        out << ") records as ";
    } else {
        out << "alias marker: unknown alias ";
        out.Unsigned(number);
        out << " records as ";
    }
    if (api)
        out << api->name;
    else
        out.Hex(target, 8);
}

void FrameEnd(TextOutput& out, const RecordView& r) {
    // The call's id is the last field at either width; the 8-byte form has a 32-bit handle.
    const bool whole = r.payloadSize >= FrameEndSize(r.pointerBits);
    const std::uint32_t apiAt = whole ? AddressSize(r.pointerBits) : 4;
    out << "frame end: single-buffered device context ";
    out.Hex(whole ? r.Address(0) : r.U32(0));
    const description::ApiDescription* api = description::FindApi(r.U32(apiAt));
    out << ", after ";
    if (api)
        out << api->name;
    else
        out.Hex(r.U32(apiAt), 8);
}

// The format set on a device context as the system described it: what its buffers hold.
void PixelFormat(TextOutput& out, const RecordView& r) {
    const std::uint32_t a = r.AddressSize(), at = a + 4;
    const auto byte = [&](std::uint32_t offset) {
        return r.Has(at + offset, 1) ? static_cast<std::uint64_t>(r.data[at + offset]) : 0u;
    };
    out << "pixel format: dc ";
    out.Hex(r.Address(0));
    out << ", format ";
    out.Signed(r.I32(a));
    out << ", flags ";
    out.Hex(r.U32(at + 4));
    out << ", colour ";
    out.Unsigned(byte(9));
    out << " (";
    out.Unsigned(byte(10));
    out << '/';
    out.Unsigned(byte(12));
    out << '/';
    out.Unsigned(byte(14));
    out << "), alpha ";
    out.Unsigned(byte(16));
    out << ", accum ";
    out.Unsigned(byte(18));
    out << ", depth ";
    out.Unsigned(byte(23));
    out << ", stencil ";
    out.Unsigned(byte(24));
}

std::uint32_t ClientMemory(TextOutput& out, const RecordView& r) {
    const std::uint32_t a = r.AddressSize(), head = ClientMemoryHeaderSize(r.pointerBits);
    const std::uint32_t flags = r.U32(a + 4);
    out << "client memory block: address ";
    out.Hex(r.Address(0), static_cast<int>(2 * a));
    out << ", offset ";
    out.Unsigned(r.U32(a));
    out << ", ";
    out.Unsigned(r.payloadSize > head ? r.payloadSize - head : 0);
    out << " bytes";
    if (flags & kVariantArrayFlag) out << ", variant array";
    if (const std::uint32_t other = flags & ~kVariantArrayFlag) {
        out << ", flags ";
        out.Hex(other);
    }
    return head;
}

// The buffer, each run as offset+length, the bytes in all; the bytes themselves follow as data.
std::uint32_t MappedWrite(TextOutput& out, const RecordView& r) {
    constexpr std::uint32_t kRunsShown = 8;
    const std::uint32_t runs = r.U32(4);
    out << "mapped write: buffer ";
    out.Unsigned(r.U32(0));
    out << ", ";
    out.Unsigned(runs);
    out << (runs == 1 ? " run" : " runs");
    const std::uint64_t head = sizeof(MappedWriteHead) + std::uint64_t{runs} * sizeof(MappedWriteRun);
    if (head > r.payloadSize) {
        out << ", damaged";
        return r.payloadSize;
    }
    std::uint64_t bytes = 0;
    bool whole = true;  // every run at hand (the dump may keep only a payload's start)
    for (std::uint32_t i = 0; i < runs; ++i) {
        const std::uint32_t at = sizeof(MappedWriteHead) + i * sizeof(MappedWriteRun);
        if (!r.Has(at, sizeof(MappedWriteRun))) {
            whole = false;
            break;
        }
        bytes += r.U32(at + 4);
        if (i >= kRunsShown) continue;
        out << (i == 0 ? " (" : ", ");
        out.Unsigned(r.U32(at));
        out << '+';
        out.Unsigned(r.U32(at + 4));
    }
    if (runs > kRunsShown) out << ", ...";
    if (runs > 0) out << ')';
    out << ", ";
    out.Unsigned(r.payloadSize - static_cast<std::uint32_t>(head));
    out << " bytes";
    if (whole && bytes != r.payloadSize - head) out << " (the runs add up to another size)";
    return static_cast<std::uint32_t>(head);
}

std::uint32_t Drawable(TextOutput& out, const RecordView& r) {
    static const char* const kKinds[] = {"full-screen", "no-window", "bitmap"};
    static const char* const kChanges[] = {"new", "rect", "full-screen", "font", "untracked"};
    const std::uint32_t a = r.AddressSize(), handles = 2 * a;
    const std::uint32_t drawableSize = DrawableSize(r.pointerBits), dibSize = DibSectionSize(r.pointerBits);
    const std::uint32_t rectAt = handles + kRectAfterHandles, fontAt = handles + kFontAfterHandles;
    const std::uint32_t faceNameAt = fontAt + kFaceNameInFont, dibAt = drawableSize;
    out << "drawable: window ";
    out.Hex(r.Address(0));
    out << ", dc ";
    out.Hex(r.Address(a));
    out << ", rect ";
    out.Signed(r.I32(rectAt));
    out << ',';
    out.Signed(r.I32(rectAt + 4));
    out << '-';
    out.Signed(r.I32(rectAt + 8));
    out << ',';
    out.Signed(r.I32(rectAt + 12));
    out << ", kind ";
    Flags(out, r.U32(handles + kKindAfterHandles), kKinds, 3, "windowed");
    out << ", font ";
    out.Quoted(r.data + faceNameAt, r.Has(faceNameAt, kFaceNameSize) ? kFaceNameSize : 0, kFaceNameSize);
    out << " height ";
    out.Signed(r.I32(fontAt));
    out << ", changes ";
    Flags(out, r.U32(handles + kChangeFlagsAfterHandles), kChanges, 5, "none");
    if (r.payloadSize <= drawableSize) return r.payloadSize;
    if (r.payloadSize < drawableSize + dibSize) {
        out << ", ";
        out.Unsigned(r.payloadSize - drawableSize);
        out << " more bytes";
        return drawableSize;
    }
    // DIBSECTION: the BITMAP (type, width, height, row bytes, planes and bits per pixel, bits) first.
    out << ", bitmap ";
    out.Signed(r.I32(dibAt + 4));
    out << 'x';
    out.Signed(r.I32(dibAt + 8));
    out << ' ';
    out.Unsigned(r.U32(dibAt + 16) >> 16);
    out << " bpp, ";
    out.Unsigned(r.payloadSize - drawableSize - dibSize);
    out << " pixel bytes";
    return drawableSize + dibSize;
}
}  // namespace

std::uint32_t StreamRecordFormatter::Append(TextOutput& out, const RecordView& r) {
    switch (r.id) {
        case kFormatVersionRecord:
            out << "format version ";
            out.Hex(r.U32(0), 8);
            break;
        case kRecorderVersionRecord:
            out << "recorder version ";
            out.Hex(r.U32(0), 8);
            if (r.U32(4)) {
                out << ", ";
                out.Hex(r.U32(4));
            }
            break;
        case kApiTypeRecord:
            out << "API type ";
            out.Unsigned(r.U32(0));
            out << ' ' << ApiTypeNameOf(r.U32(0)) << ", ";
            out.Unsigned(r.U32(4));
            out << "-bit pointers";
            break;
        case kSystemDescriptionRecord:
            out << "system description ";
            out.Quoted(r.data, r.kept, r.payloadSize);
            break;
        case kThreadSwitchRecord:
            ThreadSwitch(out, r);
            break;
        case kAliasMarkerRecord:
            AliasMarker(out, r);
            break;
        case kFrameEndRecord:
            FrameEnd(out, r);
            break;
        case kPixelFormatRecord:
            PixelFormat(out, r);
            break;
        case kClientMemoryBlockRecord:
            return ClientMemory(out, r);
        case kDrawableRecord:
            return Drawable(out, r);
        case kMappedWriteRecord:
            return MappedWrite(out, r);
        default: {
            const StreamRecordKind* kind = FindStreamRecordKind(r.id);
            out << (kind ? kind->name : "unknown record") << ' ';
            out.Unsigned(r.id);
            out << " [";
            out.Unsigned(r.payloadSize);
            out << (kind ? " bytes]" : " bytes, skipped]");
            return 0;
        }
    }
    return r.payloadSize;
}

}  // namespace kestrel
