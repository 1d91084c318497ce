// Draws a capture again: takes its records in stream order and re-issues each recorded call on the
// system OpenGL. One replay thread stands for every captured thread: at each thread switch it makes
// current the context that thread had, so calls run in the order the capture holds them, on the
// context they were made on.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "controller/reading/CaptureFileReader.h"
#include "controller/reading/StreamTracker.h"
#include "controller/replay/ClientArrays.h"
#include "controller/replay/GLEntries.h"
#include "controller/replay/ObjectNames.h"
#include "controller/replay/ReplayTally.h"
#include "controller/replay/Surfaces.h"
#include "images/FinalImages.h"
#include "images/FrameReader.h"

namespace kestrel::description {
struct ApiDescription;
}

namespace kestrel::replay {

struct ReplayEntry;

std::int64_t Ticks();  // the performance counter

// Room for what output pointers receive: feedback and selection buffers live on after their call.
constexpr std::size_t kOutputBytes = 16u << 20;

struct ReplaySettings {
    std::uint64_t firstFrame = 1;  // frames before it are replayed, neither presented nor saved
    std::uint64_t lastFrame = UINT64_MAX;
    std::string imagePrefix;  // folder and name start of the frame images; empty for none
    bool checkErrors = false;  // ask glGetError where the application did, and compare the answers
};

class Replayer {
public:
    enum class Step { Continue, Done, Damaged };

    Replayer(const ReplaySettings& settings, ReplayTally& tally);
    ~Replayer();
    Replayer(const Replayer&) = delete;
    Replayer& operator=(const Replayer&) = delete;

    // Replays one record (its payload may be taken). Done once the last frame asked for has ended;
    // Damaged, with error(), for a record that cannot be right.
    Step Replay(CaptureRecord& record);
    // After the capture's last record, with images: the final image of every surface drawn into
    // since its last frame end (kept when its context left it, or read now). Returns how many were saved.
    std::uint64_t SaveFinalImages();
    const std::string& error() const { return error_; }
    bool ready() const { return gl_.loaded() && getIntegerv_ != nullptr; }
    // Counter ticks from the start of the first frame presented (or `start`) to the last swap presented.
    std::int64_t rangeTicks(std::int64_t start) const {
        return rangeEnd_ ? rangeEnd_ - (rangeStart_ ? rangeStart_ : start) : 0;
    }

    // What the generated replay functions ask of the replay.
    ObjectNames& names() { return names_; }
    void* OutputBuffer() { return output_.data(); }
    const void* EmptyData() const { return empty_.data(); }
    std::uint32_t Integer(unsigned name);  // glGetIntegerv on the current context
    std::uint32_t CurrentProgram();
    // A generic attribute index of the capture as the program in use has it in the replay.
    std::uint32_t AttributeIndex(std::uint32_t recorded) {
        return names_.attributesDiffer() ? names_.Attribute(CurrentProgram(), recorded) : recorded;
    }

private:
    struct Context {
        HGLRC real = nullptr;
        std::uint32_t group = 0;  // the recorded context whose objects it shares
        std::uint32_t dc = 0;     // the recorded device context it was made for
        std::uint32_t surface = 0;  // the recorded device context it was last made current on
        bool drawn = false;         // into that surface since the surface's last frame end
    };
    struct Binding {
        std::uint32_t dc = 0;
        std::uint32_t context = 0;
    };
    struct Mapping {
        std::uint8_t* pointer = nullptr;
        std::uint32_t offset = 0;  // in the buffer, of what pointer points at
        std::uint32_t length = 0;
        bool flushExplicit = false;
    };
    // A recorded call: its id and payload, the entry point of the name that made it.
    struct Call {
        std::uint32_t id;
        const char* name;
        const std::uint8_t* payload;
        std::uint32_t size;
        void* entry;
        const description::ApiDescription* api;
        std::uint32_t pointerBits;  // of the recorded process
        std::uint32_t U32(std::uint32_t at) const;
        // Where the named field sits at the capture's width; past the payload when the record has none.
        std::uint32_t At(const char* field) const;
        // The named field's value at its width: pointers, handles and pointer-sized integers at the
        // capture's. Handles are keyed by their low 32 bits, all that a handle of either width carries.
        std::uint64_t Field(const char* field) const;
        std::uint32_t Handle(const char* field) const { return static_cast<std::uint32_t>(Field(field)); }
        std::int32_t Int(const char* field) const { return static_cast<std::int32_t>(Field(field)); }
        std::uint32_t FixedSize() const;
        const std::uint8_t* After(std::uint32_t at) const { return at < size ? payload + at : nullptr; }
        std::uint32_t SizeAfter(std::uint32_t at) const { return at < size ? size - at : 0; }
    };

    Step ReplayCallRecord(CaptureRecord& record);
    void CheckError(const CaptureRecord& record);
    void* EntryFor(std::uint32_t id, const char* name);
    void Issued() { ++tally_.replayed; }
    void NotReplayed(const char* name, const std::string& reason);
    bool Damaged(const CaptureRecord& record, const std::string& why);

    // Contexts, surfaces and frames (ContextCalls.cpp).
    bool ReplayContextCall(const Call& call, Step& step);
    void MakeCurrent(std::uint32_t dc, std::uint32_t context);
    void SwitchThread(std::uint32_t thread, std::uint32_t context);
    HGLRC CreateContextWithAttributes(HDC dc, HGLRC share, const int* attributes);
    // A swap presents the frame; a single-buffered window's frame end (present false) has shown it.
    Step EndFrame(std::uint32_t dc, bool present = true);
    void SaveImage(std::uint32_t dc, std::uint64_t frame);
    // The surface's pixels, read through the current context when it is on the surface, else through
    // a context made for it or last current on it; empty when none can read it.
    FramePixels ReadSurface(std::uint32_t dc);
    // Final images, as the recorder takes them: a surface a context drew into since its last frame
    // end is read before the context leaves it (made current elsewhere, released or deleted).
    void KeepFinalImage(std::uint32_t context);
    void BeforeMakeCurrent(std::uint32_t dc, std::uint32_t context);

    // Client arrays and draws (DrawCalls.cpp).
    bool ReplayArrayCall(const Call& call);
    bool ReplayDrawCall(const Call& call);
    void SetArrayPointer(const Call& call);
    void IssuePointer(const ClientArrays::Array& array, const void* pointer);

    // Buffer mappings, sources and read-backs (ObjectCalls.cpp).
    bool ReplayObjectCall(const Call& call);
    void Map(std::uint32_t buffer, std::uint32_t offset, std::uint32_t length, unsigned access, void* pointer);
    // A mapped-write record: into the replay's mapping of the buffer in the current context, else
    // written into the buffer by the GL.
    Step ApplyMappedWrite(const CaptureRecord& record);
    bool WriteBufferRange(std::uint32_t buffer, std::uint32_t offset, std::uint32_t length, const std::uint8_t* data);
    void Unmap(const Call& call, std::uint32_t target, std::uint32_t buffer, bool named);

    ReplaySettings settings_;
    ReplayTally& tally_;
    GLEntries gl_;
    Surfaces surfaces_;
    ObjectNames names_;
    ClientArrays arrays_;
    StreamTracker tracker_;
    FrameReader frameReader_;
    FinalImages finalImages_;  // by recorded device context
    std::map<std::uint32_t, Context> contexts_;
    std::map<std::uint32_t, Binding> threads_;   // each captured thread's current context
    std::map<std::uint64_t, Mapping> mappings_;  // by context and the replay's buffer name
    std::map<std::uint64_t, void*> entries_;     // by id and name
    std::uint32_t thread_ = 0;
    Binding current_;  // what the replay thread has current, in recorded handles
    std::vector<std::uint8_t> output_;
    std::vector<std::uint8_t> empty_;
    void(__stdcall* getIntegerv_)(unsigned, int*) = nullptr;
    std::uint64_t records_ = 0;
    std::int64_t rangeStart_ = 0;
    std::int64_t rangeEnd_ = 0;
    std::string error_;
};

}  // namespace kestrel::replay
