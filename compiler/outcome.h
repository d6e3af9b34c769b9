#pragma once

namespace telmira::compiler {

// How a command ended. Errors are values: a command either lets the script go on, reports a
// script error (the interpreter prints the line number), or ends the run with an exit code after
// printing its own message.
class Outcome {
public:
    static Outcome next() { return Outcome(Kind::Next, 0); }
    static Outcome scriptError() { return Outcome(Kind::ScriptError, kScriptErrorExitCode); }
    static Outcome stop(int exitCode) { return Outcome(Kind::Stop, exitCode); }

    bool goesOn() const { return kind_ == Kind::Next; }
    bool isScriptError() const { return kind_ == Kind::ScriptError; }
    int exitCode() const { return exitCode_; }

    // Exit codes of the program.
    static constexpr int kFileError = 1; // usage, script and file errors
    static constexpr int kDataError = 2; // broken data inside a readable file

private:
    static constexpr int kScriptErrorExitCode = 1;
    enum class Kind { Next, ScriptError, Stop };
    Outcome(Kind kind, int exitCode) : kind_(kind), exitCode_(exitCode) {}

    Kind kind_;
    int exitCode_;
};

} // namespace telmira::compiler
