// process_ended.h: whether a process has ended, for tests that look at what
// a process left behind only once it can write no more, whoever reaps it.
#pragma once

#include <fstream>
#include <string>
#include <sys/types.h>

// Gone, or ended and waiting only to be reaped (a zombie).
inline bool process_ended(pid_t pid)
{
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(f, line))
        return true;
    // The state follows the command name, which may itself hold ") ".
    const size_t paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z';
}
