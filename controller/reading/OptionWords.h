// The words of a reading command, one option at a time: "--name VALUE" and "--name=VALUE" alike, with
// one-line reasons that name the option for whatever it cannot take.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel {

class OptionWords {
public:
    OptionWords(const std::vector<std::string>& words, std::string& error) : words_(words), error_(error) {}

    // Moves to the next word; false after the last.
    bool Next();
    const std::string& Word() const { return words_[index_]; }
    // The word is option `name`, in either form.
    bool Is(const char* name) const { return name_ == name; }
    // The word is option `name` with no "=VALUE".
    bool IsFlag(const char* name) const { return name_ == name && !hasValue_; }
    bool HasValue() const { return hasValue_; }
    // What follows '=', for an option whose value is optional.
    const std::string& Value() const { return value_; }

    // The option's value, after '=' or as the next word; false ("NAME needs WHAT") when missing or empty.
    bool TakeValue(std::string& value, const char* what = "a value");
    // A value from 1 to `max`; false ("NAME takes WHAT from 1 to MAX, not 'VALUE'") otherwise.
    bool TakeCount(std::uint64_t max, std::uint64_t& count, const char* what);
    bool CountOf(const std::string& value, std::uint64_t max, std::uint64_t& count, const char* what);
    bool TakeFrameRange(std::uint64_t& first, std::uint64_t& last);
    // A word that is not an option names the capture file, of which there is one.
    bool TakeCaptureFile(std::string& path);

    bool Fail(const std::string& reason);

private:
    const std::vector<std::string>& words_;
    std::string& error_;
    std::size_t index_ = 0;
    bool started_ = false;
    std::string name_;
    std::string value_;
    bool hasValue_ = false;
};

}  // namespace kestrel
