// scenario.h: runs a piece of the sound code in a child process of its own,
// in a temporary working directory, with the answers to the start-up
// questions on a pipe as standard input and standard output in a file.
// Each scenario gets fresh library state, its own "music.wav", and its own
// process group, which the runner kills whole if the scenario hangs.
#pragma once

#include <functional>
#include <map>
#include <string>

// A temporary directory, removed with everything in it.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    std::string file(const std::string &name) const { return path + "/" + name; }
};

struct ScenarioResult {
    bool finished = false;    // ended by itself before the time limit
    int exit_status = -1;     // its exit status, -1 when it did not exit
    std::string out;          // everything it printed on standard output
    std::map<std::string, std::string> facts;
    bool group_gone = false;  // nothing of its process group is left

    long fact(const std::string &key) const;  // -99999 when missing
};

// Runs body in a child process in dir; the child then exits with status 0
// (unless body ends the process itself). time_limit_ms bounds the run.
ScenarioResult scenario_run(const std::string &dir, const std::string &answers,
                            const std::function<void()> &body, long time_limit_ms = 20000);

// Inside a scenario: records a fact for the test to check.
void scenario_fact(const char *key, long value);
void scenario_fact_text(const char *key, const std::string &value);

// Real milliseconds, independent of the show's clock.
long scenario_now_ms(void);
void scenario_sleep_ms(long ms);

// The library's number and name of a sound driver, looked up in a
// scenario so the test process itself never registers anything; number 0
// when the library has no such driver.
struct Driver {
    int number = 0;
    std::string name;
};
Driver driver_lookup(const char *alias);

// Every line of text (split at '\n'), and how often the most frequent
// non-empty line occurs.
int scenario_max_line_repeats(const std::string &text);
int scenario_count(const std::string &text, const std::string &piece);
