#include "tests/glrecord/support/CaseSegments.h"

#include <cstring>

#include "gen/ApiTable.h"
#include "stream/StreamRecordId.h"

std::vector<std::vector<CallRecord>> CaseSegments(const std::vector<kestrel::CaptureRecord>& records, int caseCount) {
    std::vector<std::vector<CallRecord>> segments(static_cast<std::size_t>(caseCount));
    std::vector<CallRecord>* current = nullptr;
    for (const kestrel::CaptureRecord& r : records) {
        if (r.id == kestrel::api::glPassThrough && r.payload.size() == 4) {
            float token = -1;
            std::memcpy(&token, r.payload.data(), 4);
            const int index = static_cast<int>(token);
            current = token >= 0 && index < caseCount && static_cast<float>(index) == token
                          ? &segments[static_cast<std::size_t>(index)]
                          : nullptr;
            continue;
        }
        if (!current || r.id == kestrel::kThreadSwitchRecord || r.id == kestrel::kAliasMarkerRecord) continue;
        current->push_back({r.id, r.payload});
    }
    return segments;
}
