#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "RunRequest.h"
#include "Station.h"

// What the headless station prints: a line per run as it starts and ends, a
// progress summary, and at the end a table (port, serial, result, seconds).
// As text, or with json one object per line (t_ms, kind, and port where it
// concerns one port). Lines are flushed as they are written.
class StationReport {
  public:
    StationReport(std::FILE* out, bool json, const Station& station);

    void RunStarted(std::int64_t nowMs, int port, RunRequest::Action action);
    void RunEnded(std::int64_t nowMs, const Station::Record& record);
    // Hands-free: a port's waiting changed (a unit arrived, went, ...).
    void Waiting(std::int64_t nowMs, int port, const std::string& reason);
    // The ports with an update under way and how far each is.
    void Summary(std::int64_t nowMs);
    // The table, the counters and the station's own figures.
    // maxStallAtMs: when the longest stall ended.
    void Final(std::int64_t nowMs, double maxStallMs, std::int64_t maxStallAtMs,
               double cpuSelfSeconds, double cpuChildrenSeconds);

    static const char* ResultName(StationTile::Result result);

  private:
    void Put(const std::string& text);

    std::FILE* out_;
    bool json_;
    const Station& station_;
};
