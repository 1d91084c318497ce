#include "controller/reading/OptionWords.h"

#include "controller/reading/ReadingCommand.h"

namespace kestrel {

bool OptionWords::Next() {
    if (started_) ++index_;
    started_ = true;
    if (index_ >= words_.size()) return false;
    const std::string& word = words_[index_];
    name_ = word;
    value_.clear();
    hasValue_ = false;
    if (word.rfind("--", 0) == 0) {
        if (const std::size_t equals = word.find('='); equals != std::string::npos) {
            name_ = word.substr(0, equals);
            value_ = word.substr(equals + 1);
            hasValue_ = true;
        }
    }
    return true;
}

bool OptionWords::TakeValue(std::string& value, const char* what) {
    if (!hasValue_) {
        if (index_ + 1 >= words_.size()) return Fail(name_ + " needs " + what);
        value_ = words_[++index_];
        hasValue_ = true;
    }
    if (value_.empty()) return Fail(name_ + " needs " + what);
    value = value_;
    return true;
}

bool OptionWords::CountOf(const std::string& value, std::uint64_t max, std::uint64_t& count, const char* what) {
    std::uint64_t n = 0;
    if (!ParseCount(value, max, n) || n == 0)
        return Fail(name_ + " takes " + what + " from 1 to " + std::to_string(max) + ", not '" + value + "'");
    count = n;
    return true;
}

bool OptionWords::TakeCount(std::uint64_t max, std::uint64_t& count, const char* what) {
    std::string value;
    return TakeValue(value) && CountOf(value, max, count, what);
}

bool OptionWords::TakeFrameRange(std::uint64_t& first, std::uint64_t& last) {
    std::string value;
    if (!TakeValue(value)) return false;
    if (!ParseFrameRange(value, first, last))
        return Fail(name_ + " takes A-B, A or A- with 1 <= A <= B, not '" + value + "'");
    return true;
}

bool OptionWords::TakeCaptureFile(std::string& path) { return kestrel::TakeCaptureFile(Word(), path, error_); }

bool OptionWords::Fail(const std::string& reason) {
    error_ = reason;
    return false;
}

}  // namespace kestrel
