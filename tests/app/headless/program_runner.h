#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace testing_support {

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Every entry under a folder with its type, size and link target, for
// "nothing changed" checks, as one text.
inline std::string Listing(const std::string& root)
{
    std::string out;
    const std::string command = "cd '" + root + "' && find . -printf '%p %y %s %l\\n' | sort";
    FILE* pipe = popen(command.c_str(), "r");
    char line[4096];
    while (pipe && fgets(line, sizeof line, pipe))
        out += line;
    if (pipe)
        pclose(pipe);
    return out;
}

// Runs the program in folder with the given switches (shell words); prefix
// goes in front of the program (an environment or a user switch).
inline RunResult RunProgram(const TempDir& dir, const std::string& args, const std::string& prefix = "")
{
    const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
    const std::string command = std::string("cd '") + dir.Path() + "' && " + prefix + " '" + VARNELPRO_EXE + "' " +
                                args + " >'" + out + "' 2>'" + err + "'";
    RunResult run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadBytes(out);
    run.err = ReadBytes(err);
    unlink(out.c_str());
    unlink(err.c_str());
    return run;
}

// Starts the program in folder with the given arguments and sends the
// signals once it reports its first file (a stderr line starting with "["),
// so that they land while the run is under way. Returns the exit status
// (128 + signal when one ended it), -1 when it could not run or was never
// signalled.
inline int RunAndSignal(const TempDir& dir, const std::vector<std::string>& args, const std::vector<int>& signals)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, dir.File("stdout.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv{const_cast<char*>(VARNELPRO_EXE)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, VARNELPRO_EXE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    FILE* err = fdopen(pipeFds[0], "r");
    char line[4096];
    bool sent = false;
    while (spawned == 0 && fgets(line, sizeof line, err)) {
        if (line[0] == '[' && !sent) {
            for (int sig : signals)
                kill(pid, sig);
            sent = true;
        }
    }
    fclose(err);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !sent)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace testing_support
