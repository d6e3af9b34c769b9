#include "tests/compiler/runprogram.h"

#include <sys/wait.h>
#include <unistd.h>

namespace telmira::compiler::test {

ProgramRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::filesystem::path& cwd) {
    ProgramRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    std::vector<std::string> argStrings = {program.string()};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[4096];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        run.output.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    return run;
}

} // namespace telmira::compiler::test
