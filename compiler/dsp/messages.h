#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace telmira::dsp {

// Where sample preparation sends its console lines (each complete with its line end).
using MessageSink = std::function<void(std::string_view)>;

// printf-style formatting into a string, for the console lines.
std::string formatMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sends text to the sink when there is one.
inline void emit(const MessageSink& sink, std::string_view text) {
    if (sink) {
        sink(text);
    }
}

} // namespace telmira::dsp
