#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace telmira::compiler {

// Where the compiler's console lines go: standard output in the program, a string in tests and
// fuzz drivers. Every line is formatted printf-style, so the texts keep their C formats.
class Console {
public:
    // Writes to standard output as it goes, so lines printed by the AY converter library in
    // between stay in order.
    Console();
    // Collects everything in `buffer`.
    explicit Console(std::string& buffer);

    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void write(std::string_view text);
    // Pushes pending output to standard output (before a library writes there itself).
    void flush();

private:
    std::string* buffer_ = nullptr;
};

} // namespace telmira::compiler
