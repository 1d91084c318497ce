#include "tests/glrecord/support/CallRecords.h"

#include <cstdio>

#include "stream/StreamRecordId.h"
#include "tests/glrecord/support/Bytes.h"

std::vector<CallRecord> CallRecords(const std::vector<kestrel::CaptureRecord>& records) {
    std::vector<CallRecord> calls;
    for (const kestrel::CaptureRecord& r : records)
        if (r.id >= 0x40000000u || r.id == kestrel::kAliasMarkerRecord) calls.push_back({r.id, r.payload});
    return calls;
}

std::string Describe(const CallRecord& record) {
    char head[48];
    std::snprintf(head, sizeof head, "0x%08X [%u] ", static_cast<unsigned>(record.id),
                  static_cast<unsigned>(record.payload.size()));
    return head + Hex(record.payload);
}

std::string Describe(const std::vector<CallRecord>& records) {
    std::string text;
    for (const CallRecord& r : records) text += "\n    " + Describe(r);
    return text.empty() ? "\n    (none)" : text;
}

bool operator==(const CallRecord& a, const CallRecord& b) { return a.id == b.id && a.payload == b.payload; }
