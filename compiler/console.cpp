#include "compiler/console.h"

#include <cstdarg>
#include <vector>

namespace telmira::compiler {

Console::Console() = default;

Console::Console(std::string& buffer) : buffer_(&buffer) {}

void Console::print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        std::vector<char> text(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        write(std::string_view(text.data(), static_cast<std::size_t>(length)));
    }
    va_end(args);
}

void Console::write(std::string_view text) {
    if (buffer_)
        buffer_->append(text);
    else
        std::fwrite(text.data(), 1, text.size(), stdout);
}

void Console::flush() {
    if (!buffer_)
        std::fflush(stdout);
}

} // namespace telmira::compiler
