#include "compiler/script.h"

#include "base/cp1251.h"
#include "compiler/args.h"
#include "compiler/commands.h"

#include <sys/stat.h>

#include <memory>

namespace telmira::compiler {

namespace {

constexpr unsigned kBuildNumber = 588;
constexpr const char* kBuildTag = "024c";

enum class LineRead { Line, End, Corrupt };

// Reads one line without its line end. Only the first bytes of a line too long to be valid are
// kept; the rest is consumed so the reader never holds more than one buffer.
LineRead readLine(std::FILE* file, std::string& line) {
    line.clear();
    std::size_t length = 0; // counted the way a text-mode read sees it
    bool sawAny = false;
    bool ended = false;
    int c;
    while ((c = std::getc(file)) != EOF) {
        sawAny = true;
        if (c == '\n') {
            ended = true;
            break;
        }
        ++length;
        if (line.size() <= kMaxScriptLine + 1)
            line.push_back(static_cast<char>(c));
    }
    if (std::ferror(file))
        return LineRead::Corrupt;
    if (!sawAny)
        return LineRead::End;
    if (ended) {
        if (!line.empty() && line.back() == '\r' && length <= kMaxScriptLine + 1) {
            line.pop_back(); // CR LF is one line end
            --length;
        }
        ++length;
    }
    return length > kMaxScriptLine ? LineRead::Corrupt : LineRead::Line;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

Outcome runScriptLine(Session& session, std::string_view line, unsigned number) {
    std::size_t start = 0;
    while (start < line.size() && ArgReader::isSeparator(line[start]))
        ++start;
    if (start == line.size() || line[start] == ';')
        return Outcome::next(); // empty line or comment
    Outcome outcome = Outcome::scriptError();
    // A NUL byte cannot be part of a name, a number or a path.
    if (line.find('\0') == std::string_view::npos) {
        const std::string text = cp1251ToUtf8(line);
        ArgReader reader(text);
        const auto name = reader.word();
        if (!name)
            return Outcome::next();
        if (const Command* command = findCommand(*name)) {
            CommandCall call{session, reader, number};
            outcome = command->run(call);
        }
    }
    if (outcome.isScriptError())
        session.out.print("\aTCL file error at line #%u\n", number);
    return outcome;
}

int runScript(Session& session, std::FILE* file, const std::string& path) {
    std::string line;
    unsigned number = 0;
    for (;;) {
        const LineRead read = readLine(file, line);
        if (read == LineRead::End)
            return 0;
        ++number;
        if (read == LineRead::Corrupt) {
            session.out.print("TCL file corrupt: %s\n", path.c_str());
            return Outcome::kFileError;
        }
        const Outcome outcome = runScriptLine(session, line, number);
        if (!outcome.goesOn())
            return outcome.exitCode();
    }
}

int midi2zavraMain(int argc, const char* const* argv, Session& session) {
    Console& out = session.out;
    out.print("\nMIDI2ZAVRA - music converter for Zavra\n");
    out.print("rev 1.0.1.%04u (%s)\n\n", kBuildNumber, kBuildTag);
    if (argc != 2) {
        out.print("USAGE: midi2zavra <file.tcl>\n");
        return Outcome::kFileError;
    }
    const std::string path = argv[1];
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    struct stat info {};
    if (!file || fstat(fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
        out.print("TCL file not found: %s\n", path.c_str());
        return Outcome::kFileError;
    }
    const int code = runScript(session, file.get(), path);
    out.flush();
    return code;
}

} // namespace telmira::compiler
