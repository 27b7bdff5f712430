#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>

#include "IRunObserver.h"
#include "ISerialControl.h"

class JsonLine;

// The support trace: every run as JSON lines (state changes, frames out and
// in with their bytes in hexadecimal, time-outs, the operator's texts, lamps,
// boxes and answers), so that a failed update in the field can be diagnosed
// from a file the operator sends in. Writing never affects the run: a trace
// that cannot be written is simply not written, and Error() says so. A new
// trace file is readable by its user alone.
//
// The data of block writes is not repeated in the trace (it is the data
// file's): those frames show their first six bytes, their CRC and length.
class RunTrace final : public IRunObserver {
  public:
    static constexpr int kRunsKept = 20;

    // One file per run in `folder` (created when missing), named after the
    // run's start, kind and result (run-<date>-<time>-<nn>-<kind>-<result>;
    // "running" until it ends, so a run whose program died says so). The
    // newest `keep` updates are kept, and apart from them the newest `keep`
    // scans and connection tests, which therefore never push out an
    // update's trace.
    static std::unique_ptr<RunTrace> ToFolder(const std::filesystem::path& folder,
                                              int keep = kRunsKept);
    // Every run appended to one file.
    static std::unique_ptr<RunTrace> ToFile(const std::filesystem::path& file);

    ~RunTrace() override;

    // The file of the run under way or of the last run, under its final
    // name once the run has ended; empty when it could not be written.
    const std::filesystem::path& CurrentFile() const { return file_; }
    // Why the trace of the run under way or of the last run is not whole
    // (it could not be made, or a write failed: a full disk); empty when it is.
    const std::string& Error() const { return error_; }

    // What the run-start line records beside the run's own facts: the
    // program's version, and what `ports` (nullptr: nothing) describes of the
    // device behind the run's port.
    void SetProgram(std::string version, const platform::ISerialControl* ports) {
        programVersion_ = std::move(version);
        ports_ = ports;
    }

    void OnRunStarted(const RunFacts& run) override;
    void OnRunEnded(const RunFacts& run) override;
    void OnStateChange(std::int32_t from, std::int32_t to) override;
    void OnMessage(const std::string& text, MessageKind kind) override;
    void OnInfoLine(int line, const std::string& text, const std::string& value) override;
    void OnLamp(int index, int colourCode) override;
    void OnProgress(std::int32_t value, std::int32_t max) override;
    void OnBox(const std::string& text, platform::MsgButtons buttons, platform::MsgIcon icon,
               platform::MsgResult answer) override;
    void OnFrameOut(std::span<const std::uint8_t> frame, std::int32_t code) override;
    void OnFrameIn(std::int32_t commEvent, std::span<const std::uint8_t> bytes) override;

    // A line of the program's own about the run under way (kind "note"),
    // e.g. that the history could not record it.
    void Note(const std::string& topic, const std::string& text);

    // Upper-case hexadecimal pairs.
    static std::string Hex(std::span<const std::uint8_t> bytes);

  private:
    RunTrace() = default;
    void Open(RunKind kind);
    void Prune() const;
    JsonLine Line(const char* kind) const;
    // flush: now (a decision the operator sees) or with the stream's buffer
    // (the per-block frames).
    void Write(const JsonLine& line, bool flush);
    // Keeps the first reason the file is not whole (errno's).
    void Failed(const char* what);

    std::string programVersion_;
    const platform::ISerialControl* ports_ = nullptr;
    std::filesystem::path folder_;  // empty: one file
    int keep_ = kRunsKept;
    std::filesystem::path file_;
    std::ofstream out_;
    std::string error_;
    // Times are from the start of the run (before the first run: from the opening).
    std::chrono::steady_clock::time_point runStart_ = std::chrono::steady_clock::now();
};
