#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "CommandCode.h"
#include "CommandReply.h"

class IHostImageDisplay;
class clsComm;
class clsLinkUnit;
class clsRandom;
class clsUnitConfig2;
class clsUnitConfigBase;

// The window's command layer: everything that goes to the unit passes
// through here. Binary requests are built for a command code, given a head
// code from the run's link random table, scrambled, check-summed and handed
// to the serial driver; replies are checked and judged against the request
// they answer. The text dialect (hello and link-mode sentences) goes out
// through here as well.
//
// It holds the one current request record (CurrentLinkUnit), replaced by
// every binary send, and with it the retry count of the request in flight
// (a block's tries are counted by clsBlockLink, which sends blocks).
// It shows nothing but the diagnostic frame echo: results come back as
// values, and the update sequence decides what the operator sees.
class clsCommandLayer {
  public:
    // Reply timing of every text sentence. 300 ms: the unit answers a
    // sentence within that time; 20 ms of silence end a sentence at 9600
    // baud (about 19 byte times).
    static constexpr std::int32_t kSentenceFrameSpaceMs = 20;
    static constexpr std::int32_t kSentenceTimeOutMs = 300;
    static constexpr char kHelloSentence[] = "$GSHLO";
    static constexpr char kLinkModeSentence[] = "$GSLNK";

    // A frame handed to the driver and its command code (-1 for a text
    // sentence and for listening with an empty frame).
    using FrameObserver =
        std::function<void(std::span<const std::uint8_t> frame, std::int32_t code)>;

    // The objects are the window's and must outlive the layer. hostImage may
    // be nullptr (no diagnostic echo).
    clsCommandLayer(clsComm& comm, clsRandom& random, clsUnitConfig2& unitConfig2,
                    clsUnitConfigBase& unitConfigBase, IHostImageDisplay* hostImage);
    ~clsCommandLayer();
    clsCommandLayer(const clsCommandLayer&) = delete;
    clsCommandLayer& operator=(const clsCommandLayer&) = delete;

    clsComm& Comm() { return comm_; }
    clsRandom& Random() { return random_; }
    clsUnitConfig2& UnitConfig2() { return unitConfig2_; }
    clsUnitConfigBase& UnitConfigBase() { return unitConfigBase_; }

    // --- Binary requests -------------------------------------------------------

    // A new request record for a catalogued code with its fields filled, or
    // nullptr for any other code. A read size outside 0 to 255 is a builder
    // fault: shown at once, nullptr.
    std::unique_ptr<clsLinkUnit> CreateLinkUnit(std::int32_t code,
                                                std::span<const std::uint8_t> data,
                                                std::int32_t address, std::int32_t size);

    // Builds, scrambles, check-sums and sends one request; the new record
    // replaces the current one. tableKey False (only Attach) makes a head
    // code equal to its own nibble swap. retry True carries the current
    // record's retry count over (a resend), False starts at 0. True when the
    // driver took the frame.
    bool AutoSendMessageToUnit(std::int32_t code, std::span<const std::uint8_t> data,
                               std::int32_t address, std::int32_t size, bool tableKey, bool retry);
    bool AutoSendMessageToUnit(CommandCode code, std::span<const std::uint8_t> data,
                               std::int32_t address, std::int32_t size, bool tableKey, bool retry) {
        return AutoSendMessageToUnit(ToInt(code), data, address, size, tableKey, retry);
    }

    // The unscrambled frame; the current record takes its status byte and,
    // for an accepted reply to its code, its payload.
    std::vector<std::uint8_t> DecodeUnitResponse(std::span<const std::uint8_t> received);

    // The current record's status byte against the required bits. Strict:
    // also a zero high nibble. False without a current record.
    bool CheckUnitStatus(std::int32_t requiredBits, bool strict) const;

    // The codec of the run's random source (its own inverse).
    std::vector<std::uint8_t> SecurityCODEC(std::span<const std::uint8_t> bytes);

    // Judges a received frame as the answer to the current request: CRC,
    // unscrambling, the echoed code, the status (strictly) against the
    // required bits. A reply that echoes another command's code never passes.
    CommandReply JudgeReply(std::span<const std::uint8_t> received, std::int32_t requiredBits);

    clsLinkUnit* CurrentLinkUnit() { return currentLinkUnit_.get(); }
    const clsLinkUnit* CurrentLinkUnit() const { return currentLinkUnit_.get(); }

    // --- Listening -------------------------------------------------------------

    // Waits on the line without sending anything: a cycle of the driver with
    // an empty frame, ended by a reply (stray bytes) or by the time-out, with
    // the current request's frame space. The current request stays.
    bool ListenForStrayReplies(std::int32_t timeOutMs);

    // --- Text dialect -----------------------------------------------------------

    // Opens the port in text state (9600 baud) and sends the sentence. The
    // flags go to the driver: with showMessage a port that cannot be opened
    // is reported in a box. True when the driver took the sentence.
    bool SendSentenceToUnit(const std::string& head, bool throwError, bool showMessage);
    bool SendHello(bool throwError, bool showMessage) {
        return SendSentenceToUnit(kHelloSentence, throwError, showMessage);
    }
    bool SendLinkModeRequest(bool throwError, bool showMessage) {
        return SendSentenceToUnit(kLinkModeSentence, throwError, showMessage);
    }
    // Asks the driver for link state n (0 closed, 1 text, 2 binary) without
    // a message; True when it is reached.
    bool SetCommState(std::int32_t state);

    // --- Diagnostic echo -----------------------------------------------------------

    // Shows a frame in the diagnostic text box: upper-case hexadecimal pairs,
    // or one character per byte; appended after " : " or replacing.
    void ShowHostImage(std::span<const std::uint8_t> bytes, bool hex, bool append);
    static std::string HostImageText(std::span<const std::uint8_t> bytes, bool hex);

    // Called with every frame handed to the driver (binary and text), for a trace.
    void SetFrameObserver(FrameObserver observer) { frameObserver_ = std::move(observer); }

  private:
    bool Send(const std::vector<std::uint8_t>& frame, std::int32_t code, std::int32_t frameSpace,
              std::int32_t timeOut, std::int16_t fastResponse);

    clsComm& comm_;
    clsRandom& random_;
    clsUnitConfig2& unitConfig2_;
    clsUnitConfigBase& unitConfigBase_;
    IHostImageDisplay* hostImage_;
    std::unique_ptr<clsLinkUnit> currentLinkUnit_;
    FrameObserver frameObserver_;
};
