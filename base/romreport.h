#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The export report: the ordered text lines of one export run. A line carries a number: 0 is
// information, stored as "- " + text; any other number is an error, stored as
// "! Error" + number + ": " + text, and sets the error flag. Texts are UTF-8.
namespace telmira::rom {

class ExportReport {
public:
    struct Line {
        int number = 0;
        std::string text; // as given, without the prefix
    };

    // Appends a line; a number other than 0 sets the error flag.
    void report(int number, std::string_view text);
    // Empties the report and clears the error flag (the start of a run).
    void clear();

    bool failed() const { return failed_; }
    const std::vector<Line>& entries() const { return lines_; }
    // The stored form of every line, in order.
    std::vector<std::string> lines() const;
    // The number of the first error line, 0 when there is none.
    int firstError() const;

    // Called after every new line (the export window refreshes its text from it).
    void setListener(std::function<void(const ExportReport&)> listener) {
        listener_ = std::move(listener);
    }

    static std::string format(int number, std::string_view text);

private:
    std::vector<Line> lines_;
    bool failed_ = false;
    std::function<void(const ExportReport&)> listener_;
};

} // namespace telmira::rom
