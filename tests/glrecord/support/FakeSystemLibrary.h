// Puts the fake system library in the place of the system directory's "OpenGL32-orig.dll" for the
// life of the object, and the real one back afterwards, also when the test fails. Tests that use it
// hold the ctest resource lock system_gl_orig.
#pragma once
#include <string>
#include <vector>

class FakeSystemLibrary {
public:
    // Wine prefers its own library of that name (the test bed provides one) unless a program asks
    // for the file in the system directory: the named programs do, while the object lives.
    FakeSystemLibrary(const std::string& fakePath, const std::vector<std::string>& programs);
    ~FakeSystemLibrary();
    FakeSystemLibrary(const FakeSystemLibrary&) = delete;
    FakeSystemLibrary& operator=(const FakeSystemLibrary&) = delete;

    // Empty when the fake is in place.
    const std::string& error() const { return error_; }

private:
    std::string AsideName(int n) const;

    std::string orig_, error_;
    std::vector<std::string> aside_;  // every file that answered to the name, in the order moved
    std::vector<std::string> programs_;
};
