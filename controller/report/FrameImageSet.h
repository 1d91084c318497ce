// The frame images that belong to a capture: PNG files NAME_NNNN.png for frame NNNN, found in the
// capture's folder or one given, and how the page shows them.
//
// They are embedded in the page as data: URIs while they come to at most kEmbeddedBytes in all, so
// that the usual report (a few dozen frames) is one file that can be sent on alone; beyond that they
// are linked by a path relative to the page, which a browser opening the page from disk follows with
// no server, so that a capture with thousands of images still makes a page of a few megabytes.
#pragma once
#include <cstdint>
#include <map>
#include <string>

#include "controller/reading/TextOutput.h"

namespace kestrel {

class FrameImageSet {
public:
    static constexpr std::uint64_t kEmbeddedBytes = 6u << 20;
    // A recorder's images count as the capture's when its last image was written at most this long
    // before the capture file was last written (or a little after it, for a coarse file clock).
    static constexpr std::uint64_t kWrittenBeforeSeconds = 600;
    static constexpr std::uint64_t kWrittenAfterSeconds = 5;

    // `folder` empty: the capture's own folder.
    void Find(const std::string& capturePath, const std::string& folder);
    // Writes the images as a JSON object for the page written to `pagePath`: where they came from,
    // how they are carried, and the frames with their URLs.
    void WriteJson(TextOutput& out, const std::string& pagePath) const;

    // Leaves out the images of frames after `last`: the recorder may save a frame or two more while
    // the program is closed after the capture's last frame.
    void KeepUpTo(std::uint64_t last);

    std::size_t count() const { return files_.size(); }
    bool Has(std::uint64_t frame) const { return files_.count(frame) != 0; }
    const std::string& note() const { return note_; }

private:
    std::string folder_;
    std::map<std::uint64_t, std::string> files_;  // full paths by frame
    std::map<std::uint64_t, std::uint64_t> sizes_;  // bytes by frame
    std::uint64_t totalBytes_ = 0;
    std::string note_;  // how the images were chosen, or why there are none
};

}  // namespace kestrel
