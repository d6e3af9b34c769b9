#pragma once

#include <filesystem>
#include <string>

namespace telmira::test {

// Real files from outside the project; tests skip (GTEST_SKIP) when the folder is absent.
std::filesystem::path testdataDir();
bool haveTestdata();

// A session-bus address no bus listens on: programs and windows under test must never reach
// the bus of the desktop the tests run on.
inline constexpr char kNoSessionBus[] = "unix:path=/nonexistent/telmira-tests-have-no-session-bus";

// A fresh, private copy of the laid-out work directory, removed when the object goes. Tests
// that run the deliverables run them here, never in the build or source tree.
class WorkCopy {
public:
    WorkCopy();
    ~WorkCopy();
    WorkCopy(const WorkCopy&) = delete;
    WorkCopy& operator=(const WorkCopy&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }

private:
    std::filesystem::path dir_;
};

// An empty temporary folder, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& dir() const { return dir_; }
    std::filesystem::path operator/(const std::string& name) const { return dir_ / name; }

private:
    std::filesystem::path dir_;
};

// Whole-file helpers for fixtures.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

} // namespace telmira::test
