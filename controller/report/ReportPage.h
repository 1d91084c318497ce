// The report's HTML page: the page's own markup, styles and script (kept in page/report.html and
// compiled in), with the capture's figures and lists as one JSON object inside it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "controller/reading/CaptureFileForm.h"
#include "controller/reading/TextOutput.h"
#include "controller/report/CaptureDescription.h"
#include "controller/report/FrameImageSet.h"
#include "controller/report/FrameLoads.h"
#include "controller/report/FrameSelection.h"
#include "controller/stats/CaptureStatistics.h"
#include "controller/stats/CounterClock.h"

namespace kestrel {

struct ReportContent {
    std::string capturePath;
    std::string pagePath;
    CaptureFileForm form;
    CounterClock clock;
    std::string damage;  // where and why reading stopped early; empty for a whole capture
    const CaptureStatistics* stats = nullptr;
    const CaptureDescription* description = nullptr;
    const FrameLoads* loads = nullptr;
    const FrameImageSet* images = nullptr;
    const FrameSelection* selection = nullptr;
    std::string_view lists;  // FrameCallLists' JSON
};

class ReportPage {
public:
    // Functions listed by count and by bytes, as stats --top gives them.
    static constexpr std::size_t kTopFunctions = 40;

    static void Write(TextOutput& out, const ReportContent& content);
};

}  // namespace kestrel
