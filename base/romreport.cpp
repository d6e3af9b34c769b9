#include "base/romreport.h"

namespace telmira::rom {

std::string ExportReport::format(int number, std::string_view text) {
    if (number == 0)
        return "- " + std::string(text);
    return "! Error" + std::to_string(number) + ": " + std::string(text);
}

void ExportReport::report(int number, std::string_view text) {
    lines_.push_back({number, std::string(text)});
    if (number != 0)
        failed_ = true;
    if (listener_)
        listener_(*this);
}

void ExportReport::clear() {
    lines_.clear();
    failed_ = false;
}

std::vector<std::string> ExportReport::lines() const {
    std::vector<std::string> out;
    out.reserve(lines_.size());
    for (const Line& line : lines_)
        out.push_back(format(line.number, line.text));
    return out;
}

int ExportReport::firstError() const {
    for (const Line& line : lines_)
        if (line.number != 0)
            return line.number;
    return 0;
}

} // namespace telmira::rom
