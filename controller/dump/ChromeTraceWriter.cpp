#include "controller/dump/ChromeTraceWriter.h"

#include <cstdio>

#include "gen/ApiDescription.h"
#include "stream/MappedWritePayload.h"
#include "stream/RecordHeader.h"

namespace kestrel {

namespace {
constexpr std::uint32_t kFramesTrack = 0;  // no thread of Windows has id 0
}  // namespace

ChromeTraceWriter::ChromeTraceWriter(TextOutput& out, double ticksPerSecond, std::uint64_t callEventLimit)
    : out_(out), ticksPerMicrosecond_(ticksPerSecond > 0 ? ticksPerSecond / 1e6 : 1.0), callEventLimit_(callEventLimit) {
    out_ << "{\"displayTimeUnit\":\"ms\",\"traceEvents\":[";
    BeginEvent();
    out_ << R"({"name":"thread_name","ph":"M","pid":1,"tid":0,"args":{"name":"frames"}})";
}

double ChromeTraceWriter::Microseconds(std::int64_t timeStamp) const {
    return static_cast<double>(timeStamp - origin_) / ticksPerMicrosecond_;
}

void ChromeTraceWriter::BeginEvent() {
    if (!firstEvent_) out_ << ',';
    firstEvent_ = false;
    out_.EndLine();
}

void ChromeTraceWriter::Time(double microseconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", microseconds);
    out_ << text;
}

void ChromeTraceWriter::Add(const RecordView& record, const StreamTracker& tracker) {
    if (!started_) {
        started_ = true;
        origin_ = record.timeStamp;
    }
    // Of the stream's own records, the end of a single-buffered window's frame shows, and the bytes
    // written into persistent mappings on the thread that made them reach the GL.
    const bool mappedWrite = record.id == kMappedWriteRecord;
    if (record.id < kFirstApiId && !tracker.endsFrame() && !mappedWrite) return;
    const double at = Microseconds(record.timeStamp);
    last_ = at;
    const std::uint32_t thread = tracker.hasThread() ? tracker.thread() : 1;
    if (mappedWrite) {
        if (callEvents_ >= callEventLimit_) return;
        ++callEvents_;
        NameThread(thread);
        BeginEvent();
        out_ << R"({"name":"mapped write","cat":"mapped","ph":"i","s":"t","pid":1,"tid":)";
        out_.Unsigned(thread);
        out_ << ",\"ts\":";
        Time(at);
        out_ << ",\"args\":{\"buffer\":";
        out_.Unsigned(record.U32(0));
        out_ << ",\"runs\":";
        out_.Unsigned(record.U32(4));
        out_ << ",\"bytes\":";
        const std::uint64_t head = sizeof(MappedWriteHead) + std::uint64_t{record.U32(4)} * sizeof(MappedWriteRun);
        out_.Unsigned(record.payloadSize > head ? record.payloadSize - head : 0);
        out_ << "}}";
        return;
    }
    if (record.id < kFirstApiId) return FrameSlice(at);
    NameThread(thread);
    ++calls_;
    ++callsInFrame_;
    if (callEvents_ < callEventLimit_) {
        ++callEvents_;
        const description::ApiDescription* api = description::FindApi(record.id);
        BeginEvent();
        out_ << "{\"name\":\"" << (tracker.alias() ? tracker.alias()->name : api ? api->name : "unknown API id")
             << R"(","cat":"call","ph":"i","s":"t","pid":1,"tid":)";
        out_.Unsigned(thread);
        out_ << ",\"ts\":";
        Time(at);
        out_ << '}';
    }
    if (tracker.endsFrame()) FrameSlice(at);
}

void ChromeTraceWriter::NameThread(std::uint32_t thread) {
    if (!threads_.insert(thread).second) return;
    BeginEvent();
    out_ << R"({"name":"thread_name","ph":"M","pid":1,"tid":)";
    out_.Unsigned(thread);
    out_ << R"(,"args":{"name":"thread )";
    out_.Unsigned(thread);
    out_ << "\"}}";
}

void ChromeTraceWriter::FrameSlice(double at) {
    ++frames_;
    BeginEvent();
    out_ << "{\"name\":\"frame ";
    out_.Unsigned(frames_);
    out_ << R"(","cat":"frame","ph":"X","pid":1,"tid":)";
    out_.Unsigned(kFramesTrack);
    out_ << ",\"ts\":";
    Time(frameStart_);
    out_ << ",\"dur\":";
    Time(at - frameStart_);
    out_ << ",\"args\":{\"calls\":";
    out_.Unsigned(callsInFrame_);
    out_ << "}}";
    frameStart_ = at;
    callsInFrame_ = 0;
}

void ChromeTraceWriter::Finish() {
    if (capped()) {
        BeginEvent();
        out_ << R"({"name":"call events capped at )";
        out_.Unsigned(callEventLimit_);
        out_ << " of ";
        out_.Unsigned(calls_);
        out_ << R"(; frames and threads are whole","ph":"i","s":"g","pid":1,"tid":0,"ts":)";
        Time(last_);
        out_ << '}';
    }
    out_ << "]}";
    out_.EndLine();
}

}  // namespace kestrel
