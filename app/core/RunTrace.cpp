#include "RunTrace.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "JsonLine.h"
#include "JsonReport.h"
#include "PrivateFile.h"

namespace {

// Block writes: their data is the data file's, only the request's head is kept.
bool IsBlockWrite(std::int32_t code) {
    return code == 49 || code == 50 || code == 51;
}
constexpr std::size_t kBlockHeadBytes = 6;  // head code, command, address, length

std::string LocalTime(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[64];
    std::strftime(text, sizeof text, format, &local);
    return text;
}

}  // namespace

std::unique_ptr<RunTrace> RunTrace::ToFolder(const std::filesystem::path& folder, int keep) {
    std::unique_ptr<RunTrace> trace(new RunTrace());
    trace->folder_ = folder;
    trace->keep_ = keep < 1 ? 1 : keep;
    return trace;
}

std::unique_ptr<RunTrace> RunTrace::ToFile(const std::filesystem::path& file) {
    std::unique_ptr<RunTrace> trace(new RunTrace());
    trace->file_ = file;
    PrivateFile::Create(file);
    trace->out_.open(file, std::ios::out | std::ios::app | std::ios::binary);
    if (!trace->out_.is_open()) {
        trace->Failed("cannot be opened");
        trace->file_.clear();
    }
    return trace;
}

RunTrace::~RunTrace() {
    out_.flush();
}

std::string RunTrace::Hex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(bytes.size() * 2, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[2 * i] = kDigits[bytes[i] >> 4];
        text[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    return text;
}

void RunTrace::Failed(const char* what) {
    if (error_.empty()) {
        const std::u8string name = file_.u8string();
        error_ = "the trace " + std::string(name.begin(), name.end()) + " " + what + ": " +
                 std::strerror(errno);
    }
}

void RunTrace::Open(RunKind kind) {
    if (folder_.empty()) {
        // One file for every run, opened already: a run after one that
        // could not be written tries again.
        if (out_.is_open() && !out_) {
            out_.clear();
            error_.clear();
        }
        return;
    }
    out_.close();
    out_.clear();
    error_.clear();
    std::error_code error;
    if (!std::filesystem::is_directory(folder_, error) &&
        std::filesystem::create_directories(folder_, error)) {
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, error);
    }
    // run-<date>-<time>-<nn>-<kind>.jsonl: the name order is the order of
    // the runs, also for several runs within one second.
    const std::string stem = "run-" + LocalTime("%Y%m%d-%H%M%S") + "-";
    int last = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(stem, 0) == 0 && name.size() > stem.size() + 2) {
            last = std::max(last, std::atoi(name.substr(stem.size(), 2).c_str()));
        }
    }
    char number[16];
    std::snprintf(number, sizeof number, "%02d", std::clamp(last + 1, 1, 99));
    file_ = folder_ / (stem + number + "-" + RunKindName(kind) + "-running.jsonl");
    PrivateFile::Create(file_);
    out_.open(file_, std::ios::out | std::ios::binary);
    if (!out_.is_open()) {
        Failed("cannot be made");
        file_.clear();
        return;
    }
    Prune();
}

void RunTrace::Prune() const {
    std::error_code error;
    std::vector<std::filesystem::path> runs;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("run-", 0) == 0 && entry.path().extension() == ".jsonl") {
            runs.push_back(entry.path());
        }
    }
    // Names start with the run's time: in name order, the oldest first.
    // Updates and the rest are kept apart.
    std::sort(runs.begin(), runs.end());
    std::vector<std::filesystem::path> updates;
    std::vector<std::filesystem::path> others;
    for (const std::filesystem::path& run : runs) {
        const bool update = run.filename().string().find("-update-") != std::string::npos;
        (update ? updates : others).push_back(run);
    }
    for (const std::vector<std::filesystem::path>* pool : {&updates, &others}) {
        for (std::size_t i = 0; i + static_cast<std::size_t>(keep_) < pool->size(); ++i) {
            std::filesystem::remove((*pool)[i], error);
        }
    }
}

JsonLine RunTrace::Line(const char* kind) const {
    JsonLine line;
    line.Add("t_ms",
             static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - runStart_)
                                           .count()));
    line.Add("kind", kind);
    return line;
}

void RunTrace::Write(const JsonLine& line, bool flush) {
    if (!out_.is_open() || !out_) {
        return;
    }
    const std::string text = line.Text();
    out_.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (flush) {
        out_.flush();
    }
    if (!out_) {
        Failed("could not be written");  // a full disk: the rest is lost
    }
}

void RunTrace::OnRunStarted(const RunFacts& run) {
    runStart_ = std::chrono::steady_clock::now();
    Open(run.kind);
    JsonLine start = Line("run-start");
    start.Add("run", RunKindName(run.kind)).Add("time", LocalTime("%Y-%m-%dT%H:%M:%S"));
    start.Add("port", "COM" + std::to_string(run.port)).Add("device", run.device);
    if (run.kind == RunKind::Update) {
        start.Add("file", run.fileName)
            .Add("file_size", run.fileSize < 0 ? std::string() : std::to_string(run.fileSize));
    }
    start.Add("device_description",
              ports_ != nullptr ? ports_->DescribePort(run.port).description : std::string());
    start.Add("program_version", programVersion_);
    Write(start, true);
}

void RunTrace::OnRunEnded(const RunFacts& run) {
    const RunOutcome outcome = run.outcome;
    JsonLine end = Line("run-end");
    end.Add("run", RunKindName(run.kind)).Add("result", RunOutcomeName(outcome));
    if (run.failedStage != RunStage::None) {
        end.Add("failed_stage", RunStageName(run.failedStage));
    }
    if (run.kind == RunKind::Update) {
        end.Add("blocks_written", run.blocksWritten).Add("resends", run.resends);
    }
    Write(end, true);
    if (!folder_.empty() && !file_.empty()) {
        out_.close();
        if (!out_) {
            Failed("could not be written");
        }
        // The result in the name: the file to send in is easy to find.
        const std::string name = file_.filename().string();
        const std::string running = "-running.jsonl";
        if (name.size() > running.size() &&
            name.compare(name.size() - running.size(), running.size(), running) == 0) {
            std::filesystem::path ended = file_;
            ended.replace_filename(name.substr(0, name.size() - running.size()) + "-" +
                                   RunOutcomeName(outcome) + ".jsonl");
            std::error_code error;
            std::filesystem::rename(file_, ended, error);
            if (!error) {
                file_ = ended;
            }
        }
    }
}

void RunTrace::OnStateChange(std::int32_t from, std::int32_t to) {
    Write(Line("state").Add("from", from).Add("to", to), false);
}

void RunTrace::OnMessage(const std::string& text, MessageKind kind) {
    Write(Line("message").Add("text", text).Add("colour", JsonReport::ColourName(kind)), true);
}

void RunTrace::OnInfoLine(int line, const std::string& text, const std::string& /*value*/) {
    Write(Line("info").Add("line", line).Add("text", text), false);
}

void RunTrace::OnLamp(int index, int colourCode) {
    Write(Line("lamp").Add("index", index).Add("code", colourCode), false);
}

void RunTrace::OnProgress(std::int32_t value, std::int32_t max) {
    Write(Line("progress").Add("value", value).Add("max", max), true);
}

void RunTrace::OnBox(const std::string& text, platform::MsgButtons buttons, platform::MsgIcon icon,
                     platform::MsgResult answer) {
    static constexpr const char* kButtons[] = {"ok", "ok-cancel", "yes-no"};
    static constexpr const char* kIcons[] = {"none", "information", "exclamation", "critical"};
    static constexpr const char* kAnswers[] = {"ok", "cancel", "yes", "no"};
    Write(Line("box")
              .Add("text", text)
              .Add("buttons", kButtons[static_cast<int>(buttons)])
              .Add("icon", kIcons[static_cast<int>(icon)])
              .Add("answer", kAnswers[static_cast<int>(answer)]),
          true);
}

void RunTrace::OnFrameOut(std::span<const std::uint8_t> frame, std::int32_t code) {
    if (frame.empty()) {
        Write(Line("listen"), false);
        return;
    }
    JsonLine line = Line("frame-out");
    line.Add("code", code).Add("length", static_cast<std::int64_t>(frame.size()));
    if (IsBlockWrite(code) && frame.size() > kBlockHeadBytes + 2) {
        line.Add("head", Hex(frame.first(kBlockHeadBytes))).Add("crc", Hex(frame.last(2)));
    } else {
        line.Add("bytes", Hex(frame));
    }
    Write(line, false);
}

void RunTrace::OnFrameIn(std::int32_t commEvent, std::span<const std::uint8_t> bytes) {
    const char* kind = commEvent == 1   ? "frame-in"
                       : commEvent == 2 ? "timeout"
                       : commEvent == 0 ? "sent"
                                        : "driver-event";
    Write(Line(kind).Add("bytes", Hex(bytes)), commEvent == 2);
}

void RunTrace::Note(const std::string& topic, const std::string& text) {
    Write(Line("note").Add("topic", topic).Add("text", text), true);
}
