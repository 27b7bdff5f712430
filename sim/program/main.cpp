// gpsunit-sim: the simulated GPS warning unit on a pseudo-terminal.

#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "GpsUpdateVersion.h"
#include "PtyServer.h"
#include "SignalPipe.h"
#include "SimulatedUnit.h"

int main(int argc, char** argv) {
    sim::ProgramOptions options;
    std::string error;
    const std::vector<std::string> args(argv + 1, argv + argc);
    // --version answers alone, whatever else the line holds.
    for (const std::string& arg : args) {
        if (arg == "--version") {
            std::printf("gpsunit-sim %s\n", gpsupdate::kVersion);
            return 0;
        }
    }
    if (!sim::CommandLine::Parse(args, options, error)) {
        std::fprintf(stderr, "gpsunit-sim: %s (see gpsunit-sim --help)\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(sim::CommandLine::HelpText().c_str(), stdout);
        return 0;
    }

    std::FILE* log = nullptr;
    if (!options.logPath.empty()) {
        log = std::fopen(options.logPath.c_str(), "w");
        if (log == nullptr) {
            std::perror(("gpsunit-sim: " + options.logPath).c_str());
            return 1;
        }
    }
    options.unit.keepLog = false;  // the program streams its log instead
    sim::SimulatedUnit unit(options.unit);
    if (log != nullptr) {
        const bool brief = options.logBrief;
        unit.Log().SetSink([log, brief](const sim::LogEntry& entry) {
            std::fputs((sim::UnitLog::ToJson(entry, brief) + "\n").c_str(), log);
            if (!brief) {
                std::fflush(log);  // a brief log is for timing: no write per line
            }
        });
    }

    int status = 1;
    {
        sim::SignalPipe signals;
        sim::PtyServer server(unit,
                              {options.pace, options.anyBaud, options.linkPath, options.exitAfterMs,
                               options.holdBackMs * 1000, options.paceSleeps});
        if (!signals.Install(error) || !server.Open(error)) {
            std::fprintf(stderr, "gpsunit-sim: %s\n", error.c_str());
        } else {
            std::printf("%s\n", server.DevicePath().c_str());
            std::fflush(stdout);
            status = server.Run(signals.ReadFd());
            // What the memories hold at the end, so that a script can prove
            // what an update wrote (64-bit FNV-1a over each whole image).
            std::printf("flash-digest %016llx\nparameter-digest %016llx\n",
                        static_cast<unsigned long long>(unit.FlashImage().Digest()),
                        static_cast<unsigned long long>(unit.ParameterImage().Digest()));
            std::fflush(stdout);
        }
    }
    unit.Log().SetSink({});
    if (log != nullptr) {
        std::fclose(log);
    }
    return status;
}
