#pragma once

// The keys of gpsupdate-auto's JSON lines: written by its report, read by
// the station. Scripts read them too: keys are only ever added.
namespace runjson {

// Every line.
inline constexpr char kTime[] = "t_ms";
inline constexpr char kKind[] = "kind";

// Line kinds.
inline constexpr char kKindMessage[] = "message";
inline constexpr char kKindInfo[] = "info";
inline constexpr char kKindLamp[] = "lamp";
inline constexpr char kKindProgress[] = "progress";
inline constexpr char kKindPercent[] = "percent";
inline constexpr char kKindClock[] = "clock";
inline constexpr char kKindBox[] = "box";
inline constexpr char kKindState[] = "state";
inline constexpr char kKindEnd[] = "end";
// The wait action's: a unit answered, the unit has gone, the port is greeted
// and no unit has answered yet.
inline constexpr char kKindUnit[] = "unit";
inline constexpr char kKindGone[] = "gone";
inline constexpr char kKindWaiting[] = "waiting";

// message: the message area's text and colour (window-text, blue, red).
inline constexpr char kText[] = "text";
inline constexpr char kColour[] = "colour";
inline constexpr char kColourWindowText[] = "window-text";
inline constexpr char kColourBlue[] = "blue";
inline constexpr char kColourRed[] = "red";
// info: an information line, the fact it tells and its value.
inline constexpr char kLine[] = "line";
inline constexpr char kFact[] = "fact";
inline constexpr char kValue[] = "value";
// lamp
inline constexpr char kIndex[] = "index";
inline constexpr char kCode[] = "code";
// progress
inline constexpr char kMax[] = "max";
// box
inline constexpr char kIcon[] = "icon";
inline constexpr char kTitle[] = "title";
inline constexpr char kAnswer[] = "answer";
// state
inline constexpr char kFrom[] = "from";
inline constexpr char kTo[] = "to";

// end: how the run ended (result: success, failure, cancelled, timeout;
// outcome: the same with skipped, a unit whose data was not older than the
// file, told apart from a cancel), the runner's figures and the run's facts.
inline constexpr char kResult[] = "result";
inline constexpr char kOutcome[] = "outcome";
inline constexpr char kPort[] = "port";
inline constexpr char kDevice[] = "device";
inline constexpr char kSeconds[] = "seconds";
inline constexpr char kMaxStallMs[] = "max_stall_ms";
inline constexpr char kPeakRssKiB[] = "peak_rss_kib";
inline constexpr char kIdleRssKiB[] = "idle_rss_kib";
inline constexpr char kPeakPrivateKiB[] = "peak_private_kib";
inline constexpr char kIdlePrivateKiB[] = "idle_private_kib";
inline constexpr char kRecorded[] = "recorded";
inline constexpr char kHistoryError[] = "history_error";
inline constexpr char kSerial[] = "serial";
inline constexpr char kProgramVersion[] = "program_version";
inline constexpr char kDataVersionBefore[] = "data_version_before";
inline constexpr char kDataVersionAfter[] = "data_version_after";
inline constexpr char kFileDataVersion[] = "file_data_version";
inline constexpr char kRecordReport[] = "record_report";
inline constexpr char kBlocksWritten[] = "blocks_written";
inline constexpr char kResends[] = "resends";
inline constexpr char kEraseBegun[] = "erase_begun";
inline constexpr char kFailedStage[] = "failed_stage";
inline constexpr char kFailureText[] = "failure_text";
inline constexpr char kTrace[] = "trace";
// Only when the trace could not be made or written whole (a full disk).
inline constexpr char kTraceError[] = "trace_error";

// unit: whether it is updated now, and why not (same_unit: the serial
// number last updated successfully); waiting: the greeting interval.
inline constexpr char kUpdate[] = "update";
inline constexpr char kReason[] = "reason";
inline constexpr char kReasonSameUnit[] = "same_unit";
inline constexpr char kPollSeconds[] = "poll_seconds";

// The words of result and outcome (outcome also says "interrupted", and
// "none" when no run was started).
inline constexpr char kSuccess[] = "success";
inline constexpr char kFailure[] = "failure";
inline constexpr char kCancelled[] = "cancelled";
inline constexpr char kSkipped[] = "skipped";
inline constexpr char kTimeout[] = "timeout";

// The facts an information line tells (info lines' "fact").
inline constexpr char kFactFileDataVersion[] = "file_data_version";
inline constexpr char kFactDataVersion[] = "data_version";
inline constexpr char kFactSerial[] = "serial";
inline constexpr char kFactProgramVersion[] = "program_version";
inline constexpr char kFactRecordReport[] = "record_report";

}  // namespace runjson
