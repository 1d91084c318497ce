#include "controller/stats/CaptureStatistics.h"

#include <algorithm>
#include <cstring>

#include "controller/reading/PayloadLayout.h"
#include "controller/reading/StreamRecordKind.h"
#include "gen/ApiDescription.h"
#include "stream/RecordHeader.h"
#include "stream/StreamRecordId.h"

namespace kestrel {

namespace {
// The make-current calls: the context they bind is their last argument, the result follows it.
struct MakeCurrentLayout {
    const description::ApiDescription* api = nullptr;
    std::uint32_t id = 0;
};

struct MakeCurrentLayouts {
    MakeCurrentLayout layouts[3];
    MakeCurrentLayouts() {
        static const char* const kNames[] = {"wglMakeCurrent", "wglMakeContextCurrentARB", "wglMakeContextCurrentEXT"};
        for (const description::ApiDescription& api : description::kApis) {
            for (unsigned n = 0; n < 3; ++n) {
                // The context is the last argument, the result follows it.
                if (std::strcmp(api.name, kNames[n]) != 0 || api.fieldCount < 2) continue;
                const description::FieldDescription& context = api.fields[api.fieldCount - 2];
                const description::FieldDescription& result = api.fields[api.fieldCount - 1];
                if (!result.isResult || !context.pointerSized || result.width != 4) continue;
                layouts[n] = {&api, api.apiId};
            }
        }
    }
};

const MakeCurrentLayout* FindMakeCurrent(std::uint32_t id) {
    static const MakeCurrentLayouts all;
    for (const MakeCurrentLayout& layout : all.layouts)
        if (layout.id == id && id != 0) return &layout;
    return nullptr;
}

std::string HexName(const char* prefix, std::uint32_t id) {
    char text[48];
    std::snprintf(text, sizeof text, "%s0x%08X", prefix, id);
    return text;
}
}  // namespace

CaptureStatistics::CaptureStatistics() { FindMakeCurrent(0); }

CaptureStatistics::Tally& CaptureStatistics::FunctionTally(const RecordView& record) {
    const description::AliasDescription* alias = tracker_.alias();
    const std::uint64_t key = (alias ? std::uint64_t{alias->number} + 1 : 0) << 32 | record.id;
    Tally& tally = functions_[key];
    if (tally.name.empty()) {
        const description::ApiDescription* api = description::FindApi(record.id);
        tally.name = alias ? alias->name : api ? api->name : HexName("unknown API id ", record.id);
    }
    return tally;
}

void CaptureStatistics::NoteMakeCurrent(const RecordView& record) {
    const MakeCurrentLayout* layout = FindMakeCurrent(record.id);
    if (!layout) return;
    const unsigned fields = layout->api->fieldCount;
    const FieldPlace context = PlaceOf(*layout->api, fields - 2, record.pointerBits);
    const FieldPlace result = PlaceOf(*layout->api, fields - 1, record.pointerBits);
    if (!record.Has(result.offset, 4) || !record.Has(context.offset, context.width)) return;
    const std::uint64_t value = record.Address(context.offset);
    if (value != 0 && record.U32(result.offset) != 0) contexts_.Add(value);
}

void CaptureStatistics::Add(const RecordView& record) {
    tracker_.Advance(record);
    const std::uint64_t size = sizeof(RecordHeader) + std::uint64_t{record.payloadSize};
    if (records_ == 0) firstTime_ = record.timeStamp;
    lastTime_ = record.timeStamp;
    ++records_;
    bytes_ += size;
    volume_.Add(record.id, record.payloadSize, record.pointerBits, record.id == kMappedWriteRecord ? record.U32(4) : 0);
    pointerBits_ = record.pointerBits;

    if (tracker_.isCall()) {
        ++calls_;
        ++callsInFrame_;
        if (currentThread_ == kNoThread)
            ++callsWithoutThread_;
        else
            ++threadCalls_[currentThread_];
        Tally& tally = FunctionTally(record);
        ++tally.count;
        tally.bytes += size + (tracker_.alias() ? markerBytes_ : 0);
        markerBytes_ = 0;
        NoteMakeCurrent(record);
    }
    // A swap, or the record after a single-buffered window's flush.
    if (tracker_.endsFrame()) {
        callsPerFrame_.push_back(callsInFrame_);
        frameEnds_.push_back(record.timeStamp);
        callsInFrame_ = 0;
    }
    if (tracker_.isCall()) return;
    const auto [at, added] = streamRecordIndex_.emplace(record.id, streamRecords_.size());
    if (added) {
        const StreamRecordKind* kind = FindStreamRecordKind(record.id);
        streamRecords_.push_back({kind ? kind->name : "record " + std::to_string(record.id), 0, 0});
    }
    Tally& tally = streamRecords_[at->second];
    ++tally.count;
    tally.bytes += size;
    markerBytes_ = record.id == kAliasMarkerRecord ? size : 0;
    if (record.id == kThreadSwitchRecord && record.Has(0, 8)) {
        currentThread_ = threads_.Add(tracker_.thread());
        threadCalls_.resize(threads_.order.size());
        if (tracker_.context() != 0) contexts_.Add(tracker_.context());
    }
}

std::vector<CaptureStatistics::ThreadCalls> CaptureStatistics::CallsByThread() const {
    std::vector<ThreadCalls> all;
    all.reserve(threads_.order.size());
    for (std::size_t i = 0; i < threads_.order.size(); ++i) all.push_back({threads_.order[i], threadCalls_[i]});
    return all;
}

CaptureStatistics::Spread CaptureStatistics::CallsPerFrameSpread() const {
    Spread spread;
    if (callsPerFrame_.empty()) return spread;
    std::vector<std::uint64_t> sorted = callsPerFrame_;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t n = sorted.size();
    spread.min = sorted.front();
    spread.max = sorted.back();
    spread.median = n % 2 ? static_cast<double>(sorted[n / 2])
                          : (static_cast<double>(sorted[n / 2 - 1]) + static_cast<double>(sorted[n / 2])) / 2;
    return spread;
}

std::vector<CaptureStatistics::Tally> CaptureStatistics::Top(std::size_t n, std::uint64_t Tally::*by) const {
    std::vector<Tally> all;
    all.reserve(functions_.size());
    for (const auto& entry : functions_) all.push_back(entry.second);
    auto order = [by](const Tally& a, const Tally& b) { return a.*by != b.*by ? a.*by > b.*by : a.name < b.name; };
    n = std::min(n, all.size());
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n), all.end(), order);
    all.resize(n);
    return all;
}

std::vector<CaptureStatistics::Tally> CaptureStatistics::TopByCount(std::size_t n) const { return Top(n, &Tally::count); }

std::vector<CaptureStatistics::Tally> CaptureStatistics::TopByBytes(std::size_t n) const { return Top(n, &Tally::bytes); }

}  // namespace kestrel
