#pragma once

// One gpsupdate-auto run to its end: the exit status, every line and the
// time it took.

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "SimProgram.h"

struct AutoRun {
    int status = -1;
    std::vector<std::string> lines;
    double seconds = 0;

    bool Has(const std::string& text) const { return !Matching(lines, text).empty(); }
    std::string End() const { return lines.empty() ? std::string() : lines.back(); }
};

// Waits for the run's end; the time counts from `start`.
inline AutoRun Finish(
    ChildProcess& program, int limitMs,
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now()) {
    AutoRun run;
    run.status = program.Wait(limitMs);
    run.lines = program.Lines(2000);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

inline AutoRun RunAuto(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env, int limitMs = 120000) {
    const auto start = std::chrono::steady_clock::now();
    ChildProcess program(GPSUPDATE_AUTO_PATH, args, env);
    return Finish(program, limitMs, start);
}
