#include "compiler/dsp/messages.h"

#include <cstdarg>
#include <cstdio>

namespace telmira::dsp {

std::string formatMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int size = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (size > 0) {
        text.resize(std::size_t(size) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(std::size_t(size));
    }
    va_end(again);
    return text;
}

} // namespace telmira::dsp
