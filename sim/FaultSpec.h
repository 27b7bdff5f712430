#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// One fault the simulated unit is told to commit, and which requests it hits.
//
// Text form (the --fault option of gpsunit-sim):
//   KIND[:KEY=VALUE[,KEY=VALUE...]]
// Kinds:
//   no-reply     the request is carried out but nothing is answered
//                (a sentence is not even heard: no switch to link mode)
//   bad-crc      the reply's CRC trailer is wrong
//   wrong-code   the reply echoes another command code
//   bad-status   the reply's status has the high nibble set (status=BITS)
//   missing-bit  the reply lacks the status bit the host requires
//                (only for codes that have one: Attach, VMAP, SSecu1,
//                SSecu2, FErs, 50, 51)
//   short        a 4-byte reply (head, code, CRC): shorter than 5 bytes
//   late         the reply leaves delay=MS after the request arrived
//                (default: the host's time-out for the request + 500 ms);
//                the unit answers in order, so later replies wait for it
//   hang-up      the unit vanishes from the line before answering
//   deaf         a binary request is lost on the line: the unit neither
//                carries it out nor answers it
//   garbled      the reply sentence has wrong check digits (damaged on the
//                line: after "$GSLNK" the unit still switches to link mode)
//   refused      the reply sentence is well formed but not "ASACK" (the unit
//                stays in text mode)
//   twice        the reply goes out twice, the copy right behind it
//   pulled       the unit is pulled from its cable before answering: it leaves
//                the line (the terminal stays open), and the next unit, if
//                any, arrives as after a unit's stay
// Keys (all optional; without code= or sentence= the fault hits every request
// it can apply to):
//   code=N|NAME      binary requests with this code (decimal or mnemonic)
//   sentence=hello|link   text sentences "$GSHLO" or "$GSLNK"
//   block=N          write requests (50, 51) of the N-th block since the last
//                    erase, counting distinct addresses (retries keep it)
//   addr=A           write requests at unit address A (decimal or 0x hex)
//   unit=N           requests to the N-th unit on the line (1: the first)
//   after=N          skip the first N matching requests
//   times=N          fire at most N times (default: every time)
//   delay=MS         for late
//   status=BITS      for bad-status: bits ORed into the status (default 0x10)
class FaultSpec {
  public:
    enum class Kind {
        NoReply,
        BadCrc,
        WrongCode,
        BadStatus,
        MissingBit,
        Short,
        Late,
        HangUp,
        Deaf,
        Garbled,
        Refused,
        Twice,
        Pulled,
    };
    enum class Sentence { Hello, Link };

    Kind kind = Kind::NoReply;
    std::optional<int> code;
    std::optional<Sentence> sentence;
    std::optional<int> block;
    std::optional<std::uint32_t> address;
    std::optional<int> unit;
    int after = 0;
    int times = 0;  // 0: no limit
    std::int64_t delayMs = -1;
    std::uint8_t statusBits = 0x10;

    // The fault described by `text`, or nothing with a reason in `error`.
    static std::optional<FaultSpec> Parse(std::string_view text, std::string& error);
    static std::string KindName(Kind kind);

    // Kinds that change or withhold a binary reply / a text reply.
    bool AppliesToFrames() const;
    bool AppliesToSentences() const;

    // Canonical text form.
    std::string Describe() const;
};

}  // namespace sim
