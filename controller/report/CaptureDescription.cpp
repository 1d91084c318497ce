#include "controller/report/CaptureDescription.h"

#include <cstring>

#include "stream/StreamRecordId.h"

namespace kestrel {

void CaptureDescription::Add(const RecordView& record) {
    if (record.id == kApiTypeRecord && record.Has(0, 8) && !hasApiType_) {
        hasApiType_ = true;
        apiType_ = record.U32(0);
        pointerBits_ = record.U32(4);
    } else if (record.id == kSystemDescriptionRecord && system_.empty() && record.kept > 0) {
        // The text ends at its first zero byte; the rest of the 260 bytes means nothing.
        const void* zero = std::memchr(record.data, 0, record.kept);
        const std::size_t length = zero ? static_cast<const std::uint8_t*>(zero) - record.data : record.kept;
        system_.assign(reinterpret_cast<const char*>(record.data), length);
    }
}

}  // namespace kestrel
