#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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

}  // namespace testing_support
