#include "controller/stats/DataVolume.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "controller/reading/PayloadLayout.h"
#include "gen/ApiDescription.h"
#include "gen/ApiTable.h"
#include "stream/MappedWritePayload.h"
#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

namespace {
// Calls whose payload carries, after the fixed part, data the application hands the GL in bulk.
// Aliases record under these ids, so the core and vendor names need no entries of their own.
class CallDataKinds {
public:
    CallDataKinds() {
        const std::uint32_t buffers[] = {
            api::glBufferDataARB,      api::glBufferSubDataARB,      api::glNamedBufferData,
            api::glNamedBufferDataEXT, api::glNamedBufferSubData,    api::glNamedBufferSubDataEXT,
            api::glBufferStorage,      api::glNamedBufferStorage,    api::glNewObjectBufferATI,
            api::glUpdateObjectBufferATI,
        };
        const std::uint32_t textures[] = {
            api::glTexImage1D,                  api::glTexImage2D,                  api::glTexImage3DEXT,
            api::glTexSubImage1D,               api::glTexSubImage2D,               api::glTexSubImage1DEXT,
            api::glTexSubImage2DEXT,            api::glTexSubImage3DEXT,            api::glTextureImage1DEXT,
            api::glTextureImage2DEXT,           api::glTextureImage3DEXT,           api::glMultiTexImage1DEXT,
            api::glMultiTexImage2DEXT,          api::glMultiTexImage3DEXT,          api::glTextureSubImage1DEXT,
            api::glTextureSubImage2DEXT,        api::glTextureSubImage3DEXT,        api::glMultiTexSubImage1DEXT,
            api::glMultiTexSubImage2DEXT,       api::glMultiTexSubImage3DEXT,       api::glTextureSubImage1D,
            api::glTextureSubImage2D,           api::glTextureSubImage3D,           api::glCompressedTexImage1DARB,
            api::glCompressedTexImage2DARB,     api::glCompressedTexImage3DARB,     api::glCompressedTexSubImage1DARB,
            api::glCompressedTexSubImage2DARB,  api::glCompressedTexSubImage3DARB,  api::glCompressedTextureImage1DEXT,
            api::glCompressedTextureImage2DEXT, api::glCompressedTextureImage3DEXT, api::glCompressedTextureSubImage1DEXT,
            api::glCompressedTextureSubImage2DEXT, api::glCompressedTextureSubImage3DEXT,
            api::glCompressedMultiTexImage1DEXT, api::glCompressedMultiTexImage2DEXT, api::glCompressedMultiTexImage3DEXT,
            api::glCompressedMultiTexSubImage1DEXT, api::glCompressedMultiTexSubImage2DEXT,
            api::glCompressedMultiTexSubImage3DEXT, api::glCompressedTextureSubImage1D,
            api::glCompressedTextureSubImage2D, api::glCompressedTextureSubImage3D,
        };
        // An unmap record carries what the application may have written into the mapping.
        const std::uint32_t unmaps[] = {api::glUnmapBufferARB, api::glUnmapNamedBuffer, api::glUnmapNamedBufferEXT,
                                        api::glUnmapObjectBufferATI};
        for (std::uint32_t id : buffers) kinds_.emplace_back(id, DataKind::BufferData);
        for (std::uint32_t id : textures) kinds_.emplace_back(id, DataKind::TextureData);
        for (std::uint32_t id : unmaps) kinds_.emplace_back(id, DataKind::MappedWrites);
        std::sort(kinds_.begin(), kinds_.end());
    }
    DataKind Find(std::uint32_t id) const {
        const auto at = std::lower_bound(kinds_.begin(), kinds_.end(), std::make_pair(id, DataKind::Calls));
        return at != kinds_.end() && at->first == id ? at->second : DataKind::Calls;
    }

private:
    std::vector<std::pair<std::uint32_t, DataKind>> kinds_;
};
}  // namespace

DataKind DataVolume::KindOfCallData(std::uint32_t apiId) {
    static const CallDataKinds kinds;
    return kinds.Find(apiId);
}

const char* DataVolume::Name(DataKind kind) {
    switch (kind) {
        case DataKind::Calls: return "calls";
        case DataKind::ClientArrays: return "client arrays";
        case DataKind::BufferData: return "buffer data";
        case DataKind::TextureData: return "texture data";
        case DataKind::MappedWrites: return "mapped writes";
        case DataKind::StreamRecords: return "other stream records";
    }
    return "?";
}

void DataVolume::Add(std::uint32_t id, std::uint32_t payloadSize, std::uint32_t pointerBits, std::uint32_t runs) {
    const std::uint64_t size = sizeof(RecordHeader) + std::uint64_t{payloadSize};
    // The marker is the call's own record of the name it was made under.
    if (id == kAliasMarkerRecord) {
        At(DataKind::Calls).bytes += size;
        return;
    }
    if (id < kFirstApiId) {
        if (id == kMappedWriteRecord) {
            // The runs' offsets and lengths go with the stream's records, the bytes with mapped writes.
            const std::uint64_t head = sizeof(MappedWriteHead) + std::uint64_t{runs} * sizeof(MappedWriteRun);
            const std::uint64_t data = payloadSize > head ? payloadSize - head : 0;
            ++At(DataKind::MappedWrites).records;
            At(DataKind::MappedWrites).bytes += data;
            ++At(DataKind::StreamRecords).records;
            At(DataKind::StreamRecords).bytes += size - data;
            return;
        }
        Share& share = At(id == kClientMemoryBlockRecord ? DataKind::ClientArrays : DataKind::StreamRecords);
        ++share.records;
        share.bytes += size;
        return;
    }
    std::uint64_t data = 0;
    const DataKind kind = KindOfCallData(id);
    if (kind != DataKind::Calls) {
        const description::ApiDescription* api = description::FindApi(id);
        const std::uint32_t fixed = api ? FixedSizeOf(*api, pointerBits) : payloadSize;
        data = payloadSize > fixed ? payloadSize - fixed : 0;
        if (data > 0) {
            ++At(kind).records;
            At(kind).bytes += data;
        }
    }
    ++At(DataKind::Calls).records;
    At(DataKind::Calls).bytes += size - data;
}

}  // namespace kestrel
