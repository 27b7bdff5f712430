#include "CommandLine.h"

#include <charconv>
#include <functional>
#include <map>

#include "FaultSpec.h"
#include "NumberOption.h"

namespace sim {

namespace {

// One or two hexadecimal digits, as the record report travels in a sentence.
bool ParseReport(const std::string& text, std::uint8_t& value) {
    unsigned parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed, 16);
    if (text.empty() || text.size() > 2 || error != std::errc() ||
        end != text.data() + text.size()) {
        return false;
    }
    value = static_cast<std::uint8_t>(parsed);
    return true;
}

// Text that goes into a sentence field: printable ASCII without the
// characters that structure a sentence.
bool IsFieldText(const std::string& text) {
    if (text.empty() || text.size() > 40) {
        return false;
    }
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E || c == ',' || c == '*' || c == '$') {
            return false;
        }
    }
    return true;
}

bool IsPayloadText(const std::string& text) {
    if (text.empty() || text.size() > 200) {
        return false;
    }
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool CommandLine::Parse(const std::vector<std::string>& args, ProgramOptions& options,
                        std::string& error) {
    UnitConfig& unit = options.unit;
    using Handler = std::function<bool(const std::string&)>;
    const auto integer = [](std::int64_t low, std::int64_t high, auto store) {
        return Handler([=](const std::string& v) {
            const std::optional<std::int64_t> n =
                NumberOption::Whole(v, low, high, NumberOption::Radix::DecimalOrHex);
            if (!n) {
                return false;
            }
            store(*n);
            return true;
        });
    };
    const std::map<std::string, Handler> withValue{
        {"--serial",
         [&](const std::string& v) { return IsFieldText(v) && (unit.serial = v, true); }},
        {"--program-version",
         [&](const std::string& v) { return IsPayloadText(v) && (unit.programVersion = v, true); }},
        {"--data-version",
         [&](const std::string& v) { return IsPayloadText(v) && (unit.dataVersion = v, true); }},
        {"--sound-version",
         [&](const std::string& v) { return IsPayloadText(v) && (unit.soundVersion = v, true); }},
        {"--record-report",
         [&](const std::string& v) { return ParseReport(v, unit.recordReport); }},
        {"--final-report", [&](const std::string& v) { return ParseReport(v, unit.finalReport); }},
        {"--erase-ms", integer(0, 3'600'000, [&](std::int64_t n) { unit.eraseMs = n; })},
        {"--check-ms", integer(0, 3'600'000, [&](std::int64_t n) { unit.checkMs = n; })},
        {"--text-reply-ms",
         integer(0, 60'000, [&](std::int64_t n) { unit.textReplyUs = n * 1000; })},
        {"--reply-us", integer(0, 60'000'000, [&](std::int64_t n) { unit.binaryReplyUs = n; })},
        {"--flash-size",
         integer(1, 1 << 24,
                 [&](std::int64_t n) { unit.flashSize = static_cast<std::size_t>(n); })},
        {"--param-size",
         integer(1, 1 << 24,
                 [&](std::int64_t n) { unit.parameterSize = static_cast<std::size_t>(n); })},
        {"--seed",
         integer(0, INT64_MAX, [&](std::int64_t n) { unit.seed = static_cast<std::uint64_t>(n); })},
        {"--exit-after-ms",
         integer(0, INT64_MAX / 1000, [&](std::int64_t n) { options.exitAfterMs = n; })},
        {"--log", [&](const std::string& v) { return !v.empty() && (options.logPath = v, true); }},
        {"--hold-back-ms", integer(0, 1000, [&](std::int64_t n) { options.holdBackMs = n; })},
        {"--link",
         [&](const std::string& v) { return !v.empty() && (options.linkPath = v, true); }},
        {"--absent-ms", integer(0, 3'600'000, [&](std::int64_t n) { unit.absentMs = n; })},
        {"--absent-jitter-ms",
         integer(0, 3'600'000, [&](std::int64_t n) { unit.absentJitterMs = n; })},
        {"--stay-ms", integer(0, 3'600'000, [&](std::int64_t n) { unit.stayMs = n; })},
        {"--next-serial",
         [&](const std::string& v) {
             return IsFieldText(v) && (unit.nextSerials.push_back(v), true);
         }},
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('=');
            name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "--help" || name == "-h" || name == "--pace" || name == "--any-baud" ||
            name == "--log-brief" || name == "--pace-sleeps") {
            if (value) {
                error = name + " takes no value";
                return false;
            }
            if (name == "--pace-sleeps") {
                options.pace = true;
                options.paceSleeps = true;
                continue;
            }
            (name == "--pace"        ? options.pace
             : name == "--any-baud"  ? options.anyBaud
             : name == "--log-brief" ? options.logBrief
                                     : options.help) = true;
            continue;
        }
        const bool isFault = name == "--fault";
        const auto handler = withValue.find(name);
        if (!isFault && handler == withValue.end()) {
            error = "unknown option " + name;
            return false;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        if (isFault) {
            std::string why;
            const auto fault = FaultSpec::Parse(*value, why);
            if (!fault) {
                error = "--fault " + *value + ": " + why;
                return false;
            }
            unit.faults.push_back(*fault);
        } else if (!handler->second(*value)) {
            error = "bad value for " + name + ": \"" + *value + "\"";
            return false;
        }
    }
    return true;
}

std::string CommandLine::HelpText() {
    return R"(Usage: gpsunit-sim [OPTION]...
A simulated GPS warning unit on a pseudo-terminal, for trying the update tool
without the device. It prints the device path of the terminal to open as the
first line on stdout, then serves until SIGTERM or SIGINT (exit status 0).
When it stops it prints "flash-digest <hex>" and "parameter-digest <hex>":
64-bit FNV-1a digests of the whole flash and parameter memories.

The unit answers "$GSHLO" (9600 baud) with "$ASACK,<serial>,<report>*hh" and
"$GSLNK" with "$ASACK,<serial>*hh", then speaks binary frames at 115200 baud
until the closing command (RST), after which it checks its memory for
--check-ms and then answers hellos with the --final-report. Bytes the host sends
at a speed other than the unit's (as set on the terminal) are ignored, and
replies sent while the host listens at another speed arrive garbled.

Unit identity and timing:
  --serial TEXT            serial number (default GU48A0012345)
  --program-version TEXT   program version in the VPGM reply (default GPSP01.2000)
  --data-version TEXT      data version in the VMAP reply (default 0512)
  --sound-version TEXT     version in the VSND reply (default SV1.03)
  --record-report HEX      record report before the update (default 00)
  --final-report HEX       record report after the memory check (default 00)
  --erase-ms N             time FErs takes before it is answered (default 3000)
  --check-ms N             memory check after RST; hellos get no answer
                           meanwhile (default 3000)
  --reply-us N             delay before a binary reply (default 500)
  --text-reply-ms N        delay before a reply sentence (default 5)
  --flash-size N           flash memory size in bytes (default 4194304)
  --param-size N           parameter memory size in bytes (default 65536)
  --seed N                 seeds the unit's choice of reply head codes (default 1)

Units plugged in and pulled out behind the line:
  --absent-ms N            no unit answers for the first N ms, nor for N ms
                           between two units (default 0)
  --absent-jitter-ms N     each gap between two units is up to N ms longer,
                           drawn from --seed (default 0)
  --stay-ms N              after its memory check a unit stays N ms, then
                           leaves the line (default: it stays)
  --next-serial TEXT       once a unit has left, another one with this serial
                           number and fresh memories arrives (repeatable: in
                           order)

Line and program:
  --pace                   model the wire at the line rate the host set on the
                           terminal (10 bit times per byte; the unit's own rate
                           when the terminal's cannot be read): a request has
                           arrived only its wire time after its first byte was
                           read, and reply bytes are sent as their wire time
                           passes, a millisecond's worth at a time (a short
                           reply in one piece); the log gives when each
                           request's first byte was read (read_us) and when
                           each reply was written ("written")
  --pace-sleeps            --pace, but between bytes the unit waits on the
                           system's timers instead of watching the line
                           without sleeping around each reply (for many units
                           on few CPUs, which stay awake anyway)
  --hold-back-ms N         like a USB adapter that holds received bytes: each
                           reply reaches the host at once, N ms after its last
                           byte came off the wire (default 0)
  --any-baud               do not check the host's line speed
  --link PATH              also make a symbolic link PATH to the device (removed
                           on exit; an existing symbolic link is replaced)
  --log FILE               write every request, reply, mode change, state change
                           and fault as JSON lines to FILE
  --log-brief              leave the frames' bytes out of the log (times, kinds,
                           codes and lengths only)
  --exit-after-ms N        stop serving after N ms (exit status 0)
  --fault SPEC             inject a fault (repeatable; the first one that fires
                           for a request wins)
  --help                   show this text
  --version                show the program's version

Fault SPEC: KIND[:KEY=VALUE[,KEY=VALUE...]]
  Kinds:
    no-reply     request carried out, no reply (a sentence is not heard at all)
    bad-crc      the reply's CRC trailer is wrong
    wrong-code   the reply echoes another command code
    bad-status   the reply status has its high nibble set
    missing-bit  the reply lacks the status bit the host requires (Attach,
                 VMAP, SSecu1, SSecu2, FErs, 50, 51)
    short        a 4-byte reply (shorter than 5 bytes)
    late         the reply leaves delay=MS after the request (default: the
                 host's time-out for the request + 500 ms); later replies
                 wait for it, as they would behind a busy unit
    hang-up      the unit leaves the line: the terminal is closed (the host sees
                 a hang-up) and the program serves no more until it is stopped
    deaf         a binary request is lost on the line: not carried out, no reply
    garbled      the reply sentence has wrong check digits (damaged on the line:
                 after "$GSLNK" the unit still switches to link mode)
    refused      the reply sentence is well formed but not "ASACK" (the unit
                 stays in text mode)
    twice        the reply goes out twice, the copy right behind it
    pulled       the unit is pulled before answering: it leaves the line (the
                 terminal stays open) and the next --next-serial unit follows
  Keys:
    code=N|NAME      binary requests with this code: decimal or Attach, STS, RST,
                     SRdy, QID, VPGM, VMAP, VSND, SSup, SSecu1, SSecu2, FErs,
                     FNull, UnitID, UserOpt
    sentence=hello|link   the "$GSHLO" or "$GSLNK" sentence
    block=N          writes (50, 51) of the N-th block since the last erase
                     (distinct addresses in order; retries keep the number)
    addr=A           writes at address A (decimal or 0x hex)
    unit=N           requests to the N-th unit on the line (1: the first)
    after=N          let the first N matching requests pass
    times=N          fire at most N times (default: every time)
    delay=MS         for late
    status=BITS      for bad-status (default 0x10)
  Examples:
    --fault no-reply:sentence=hello            a unit that never answers hellos
    --fault bad-status:code=51,block=3,times=2 block 3 fails twice, then passes
    --fault late:code=FErs                     erase answered after 55.5 s
    --fault hang-up:code=50,after=4            unplugged during the 5th 50 write

Exit status: 0 when stopped by a signal or --exit-after-ms, 1 when the terminal
cannot be set up, 2 for a bad command line.
)";
}

}  // namespace sim
