#pragma once

#include "compiler/console.h"
#include "compiler/session.h"
#include "tests/common/testpaths.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace telmira::compiler::test {

// The shared test helpers, under the name the compiler tests use.
using telmira::test::haveTestdata;
using telmira::test::readFile;
using telmira::test::TempDir;
using telmira::test::testdataDir;
using telmira::test::WorkCopy;
using telmira::test::writeFile;

// A session whose console collects its lines, and a way to run script text through it.
class ScriptHarness {
public:
    explicit ScriptHarness(Stages stages = buildStages())
        : console_(output), session(console_, std::move(stages)) {}

    // Runs `text` as a script file named "test.tcl"; returns the exit code.
    int run(std::string_view text);
    CompilerState& state() { return session.state; }

    std::string output;

private:
    Console console_;

public:
    Session session;
};

std::span<const std::uint8_t> bytesOf(std::string_view text);

// Byte builders for fixtures.
std::string le16(std::uint16_t value);
std::string le32(std::uint32_t value);
std::string be16(std::uint16_t value);
std::string be32(std::uint32_t value);
std::string vlq(std::uint32_t value);

// Standard MIDI File pieces: a track chunk around raw event bytes, a whole file.
std::string mtrk(std::string_view events);
std::string smf(std::uint16_t format, std::uint16_t division,
                const std::vector<std::string>& tracks);

// RIFF pieces: a chunk (padded to an even size), a LIST, the RIFF container.
std::string riffChunk(std::string_view id, std::string_view body);
std::string riffList(std::string_view type, std::string_view children);
std::string riff(std::string_view form, std::string_view children);

} // namespace telmira::compiler::test
