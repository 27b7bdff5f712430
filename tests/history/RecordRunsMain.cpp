// history_record_runs FILE N      records N whole runs, each its two writes
// history_record_runs FILE hold WRITES
//                                 writes one run as WRITES says (begin,
//                                 update: its start, then the unit's facts
//                                 while it runs), says "begun ID", waits
// history_record_runs FILE spread N DAYS
//                                 N finished runs of many units spread over
//                                 the last DAYS days (for the figures and
//                                 the window's picture)
// history_record_runs FILE N URL
//                                 N whole runs, each written locally and
//                                 sent on to the history server at URL
// Prints "done N" (or the reason a write failed, exit status 1).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include "HistoryDays.h"
#include "HistoryOpener.h"
#include "ProcessFacts.h"
#include "SqlHistoryStore.h"

namespace {

HistoryRun NewRun(int number) {
    HistoryRun run;
    run.id = std::to_string(ProcessFacts::CurrentPid()) + "-" + std::to_string(number);
    run.kind = "update";
    run.startMs = HistoryDays::NowUtcMs();
    run.host = ProcessFacts::HostName();
    run.pid = ProcessFacts::CurrentPid();
    run.program = "history_record_runs";
    run.port = 1 + number % 16;
    run.unitSerial = "GU" + std::to_string(ProcessFacts::CurrentPid());
    return run;
}

int Failed(const char* write, const SqlHistoryStore& store) {
    std::printf("%s failed: %s\n", write, store.LastError().c_str());
    return 1;
}

// Runs as a shop makes them: mostly updates, some tests and scans; one
// update in twelve fails (one of those is interrupted), one in forty is
// cancelled (two of three after the erase began).
int Spread(SqlHistoryStore& store, int count, int days) {
    std::mt19937 random(601);
    const std::int64_t now = HistoryDays::NowUtcMs();
    const std::int64_t span = static_cast<std::int64_t>(days) * 86'400'000;
    for (int i = 0; i < count; ++i) {
        HistoryRun run = NewRun(i);
        run.id = "spread-" + std::to_string(i);
        run.startMs = now - span + span * i / count;
        const int pick = static_cast<int>(random() % 120);
        run.kind = pick < 100 ? "update" : pick < 112 ? "test" : "scan";
        run.unitSerial = "GU48A" + std::to_string(1000000 + random() % 400);
        run.unitProgramVersion = "GPSP01.2000";
        run.unitDataVersion = "0512";
        run.unitRecordReport = "正常";
        run.fileDataVersion = "0601";
        const bool update = run.kind == "update";
        const int fate = static_cast<int>(random() % 120);
        run.result = fate < 3    ? "cancelled"
                     : fate == 3 ? "interrupted"
                     : fate < 13 ? "failure"
                                 : "success";
        run.eraseBegun = update && fate != 0 ? 1 : 0;
        run.endMs = run.startMs + (update ? 85'000 + random() % 30'000 : 2'000);
        if (run.result == "failure") {
            run.failureText = "傳送失敗, 請重新連線";
            run.failureStage = "flash transfer";
            run.endMs = run.startMs + random() % 60'000;
        }
        run.blocksWritten = update && run.result == "success" ? 14044 : 0;
        if (run.blocksWritten > 0) {
            run.unitDataVersionAfter = "0601";
            run.fileName = "/srv/gps/gps-0601.apd";
        }
        run.retries = random() % 4 == 0 ? 1 : 0;
        run.port = 3 + static_cast<int>(random() % 4);
        run.program = pick % 2 == 0 ? "gpsupdate" : "gpsupdate-auto";
        if (!store.Complete(run)) {
            return Failed("complete", store);
        }
    }
    std::printf("done %d\n", count);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr, "usage: history_record_runs FILE N|hold WRITES|spread N DAYS\n");
        return 2;
    }
    std::string error;
    auto store = SqlHistoryStore::Open(argv[1], error);
    if (store == nullptr) {
        std::printf("open failed: %s\n", error.c_str());
        return 1;
    }
    if (std::string(argv[2]) == "hold" && argc == 4) {
        HistoryRun run = NewRun(0);
        const std::string writes = argv[3];
        if (writes.find("begin") != std::string::npos && !store->Begin(run)) {
            return Failed("begin", *store);
        }
        if (writes.find("update") != std::string::npos) {
            run.unitProgramVersion = "GPSP01.2000";
            run.unitDataVersion = "0512";
            run.unitRecordReport = "正常";
            run.fileDataVersion = "0601";
            if (!store->Update(run)) {
                return Failed("update", *store);
            }
        }
        std::printf("begun %s\n", run.id.c_str());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::minutes(10));
        return 0;
    }
    if (std::string(argv[2]) == "spread" && argc == 5) {
        return Spread(*store, std::stoi(argv[3]), std::stoi(argv[4]));
    }
    const int count = std::stoi(argv[2]);
    store.reset();
    // As a program records: the rows handed to the history's threads.
    HistoryLocation location;
    location.file = argv[1];
    HistoryOpener::Recording recording =
        HistoryOpener::OpenForRecording(location, argc == 4 ? argv[3] : "", "the URL");
    if (!recording.serverError.empty()) {
        std::printf("%s\n", recording.serverError.c_str());
        return 2;
    }
    // How long each run's two writes take to hand over, on standard error.
    std::vector<double> micros;
    for (int i = 0; i < count; ++i) {
        HistoryRun run = NewRun(i);
        const auto start = std::chrono::steady_clock::now();
        recording.writer->Begin(run);
        run.endMs = HistoryDays::NowUtcMs();
        run.result = "success";
        run.blocksWritten = 14044;
        recording.writer->Complete(run);
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    // Every row written, and sent when there is a server.
    recording.writer->Settle(std::chrono::minutes(3));
    if (recording.sender != nullptr) {
        recording.sender->Settle(std::chrono::minutes(3));
    }
    for (const HistoryNotes::Note& note : recording.notes->Take()) {
        if (note.topic == "history") {
            std::printf("write failed: %s\n", note.text.c_str());
            return 1;
        }
        std::fprintf(stderr, "server: %s\n", note.text.c_str());
    }
    std::sort(micros.begin(), micros.end());
    if (!micros.empty()) {
        std::fprintf(
            stderr,
            "two writes handed over: median %.0f us, 99th percentile %.0f us, max %.0f us\n",
            micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back());
    }
    std::printf("done %d\n", count);
    return 0;
}
