#pragma once

#include "RunJsonKeys.h"

// The keys of the headless station's JSON lines (--json). Those it shares
// with gpsupdate-auto's lines mean the same there (runjson: t_ms, kind,
// port, device, text, result, serial, program_version, data_version_before,
// data_version_after, seconds, max_stall_ms); these are its own. Scripts
// read them: keys are only ever added.
namespace stationjson {

// Line kinds: a run started and ended, a port's waiting, the progress of
// the runs under way, and at the end a result per run and the station's
// figures.
inline constexpr char kKindStart[] = "start";
inline constexpr char kKindWaiting[] = "waiting";
inline constexpr char kKindSummary[] = "summary";
inline constexpr char kKindResult[] = "result";
inline constexpr char kKindStation[] = "station";

// start: update, or wait (a hands-free port's waiting child, whose
// updates have start lines of their own).
inline constexpr char kAction[] = "action";
inline constexpr char kActionUpdate[] = "update";
inline constexpr char kActionWait[] = "wait";
// result: success, failure, skipped, or none for a run without one.
inline constexpr char kResultNone[] = "none";
// summary and station: the counters; summary: the runs under way.
inline constexpr char kRunning[] = "running";
inline constexpr char kDone[] = "done";
inline constexpr char kFailed[] = "failed";
inline constexpr char kSkipped[] = "skipped";
inline constexpr char kProgress[] = "progress";
// result: the run's own longest stall.
inline constexpr char kRunMaxStallMs[] = "run_max_stall_ms";
// station: its own figures.
inline constexpr char kRunsSeconds[] = "runs_seconds";
inline constexpr char kMaxStallAtMs[] = "max_stall_at_ms";
inline constexpr char kCpuStationSeconds[] = "cpu_station_s";
inline constexpr char kCpuChildrenSeconds[] = "cpu_children_s";

}  // namespace stationjson
