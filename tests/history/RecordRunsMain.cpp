// history_record_runs FILE N      records N whole runs, each its two writes
// history_record_runs FILE hold   starts one run, says "begun ID", waits
// Prints "done N" (or the reason a write failed, exit status 1).

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <QCoreApplication>

#include "HistoryDays.h"
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

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: history_record_runs FILE N|hold\n");
        return 2;
    }
    std::string error;
    const auto store = SqlHistoryStore::Open(argv[1], error);
    if (store == nullptr) {
        std::printf("open failed: %s\n", error.c_str());
        return 1;
    }
    if (std::string(argv[2]) == "hold") {
        const HistoryRun run = NewRun(0);
        if (!store->Begin(run)) {
            std::printf("begin failed: %s\n", store->LastError().c_str());
            return 1;
        }
        std::printf("begun %s\n", run.id.c_str());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::minutes(10));
        return 0;
    }
    const int count = std::stoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        HistoryRun run = NewRun(i);
        if (!store->Begin(run)) {
            std::printf("begin failed: %s\n", store->LastError().c_str());
            return 1;
        }
        run.endMs = HistoryDays::NowUtcMs();
        run.result = "success";
        run.blocksWritten = 14044;
        if (!store->Complete(run)) {
            std::printf("complete failed: %s\n", store->LastError().c_str());
            return 1;
        }
    }
    std::printf("done %d\n", count);
    return 0;
}
