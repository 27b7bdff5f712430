#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "FaultSpec.h"
#include "ISerialPeer.h"
#include "MemoryImage.h"
#include "UnitCodec.h"
#include "UnitConfig.h"
#include "UnitFaults.h"
#include "UnitLog.h"

namespace sim {

// Our model of the GPS warning unit at the far end of the serial cable.
//
// Text mode (9600 baud, after power-up and after the closing command):
//   "$GSHLO" -> "$ASACK,<serial>,<record report hex>*hh"
//   "$GSLNK" -> "$ASACK,<serial>*hh", then binary mode at 115200 baud.
// Binary mode: each request is head code, scrambled code and body, CRC
// trailer. The unit unscrambles byte 1 to learn the code and knows from the
// code how long the request is (write requests carry a length byte), so
// requests are delimited by their layout, not by pauses. A request with a
// bad CRC is ignored without a reply, as the unit cannot trust any of it.
// Attach must use the rolling key (head equal to its nibble swap) and carry
// a link table with a valid CRC; later requests may use either key. Replies
// go out under head codes the unit picks itself (seeded), in both key modes
// once it holds the link table.
//   FErs erases both memories (0xFF) and answers after the erase time,
//   ignoring the line meanwhile; 51 programs the flash image, 50 writes the
//   parameter image (both at the request's address); RST gets no reply: the
//   unit returns to text mode at once and checks its memory for the check
//   time, during which hellos go unanswered; afterwards hellos carry the
//   final record report.
// Bytes the host sends at a speed other than the unit's are garbage to it
// and are dropped.
class SimulatedUnit final : public platform::ISerialPeer {
  public:
    enum class Mode { Text, Binary };
    static constexpr int kTextBaud = 9600;
    static constexpr int kBinaryBaud = 115200;
    // Status of a request the unit does not accept.
    static constexpr std::uint8_t kRefused = 0x80;

    explicit SimulatedUnit(UnitConfig config = {});

    // platform::ISerialPeer
    void OnHostBytes(std::span<const std::uint8_t> bytes, int hostBaud,
                     std::int64_t nowUs) override;
    std::int64_t NextDueUs() const override;
    std::vector<Transmission> Poll(std::int64_t nowUs) override;
    bool Connected() const override { return connected_; }
    // Whether a unit is on the line now (see UnitConfig::absentMs).
    bool Present() const { return present_; }

    // A pseudo-terminal server tells when it read host bytes (before they
    // are handed over): the read time of a request's first byte is logged
    // with the request.
    void NoteHostRead(std::int64_t realUs) {
        if (request_.empty()) {
            requestReadUs_ = realUs;
        }
    }

    Mode CurrentMode() const { return mode_; }
    int Baud() const { return mode_ == Mode::Text ? kTextBaud : kBinaryBaud; }

    // How many leading bytes of `bytes` end one message that the unit, as it
    // is now, would take whole if they came at `hostBaud`: the rest of a
    // sentence with the right check digits, or of a request with an intact
    // CRC (counting what it already holds of either). 0 when they end none,
    // or when the unit would not listen at that speed (or at all) now.
    // Lets a line that cannot tell which bytes came before a host speed
    // change give the earlier speed only to bytes that make sense at it.
    std::size_t WholeMessageLength(std::span<const std::uint8_t> bytes, int hostBaud,
                                   std::int64_t nowUs) const;

    const UnitConfig& Config() const { return config_; }
    // The record report the unit would give now.
    std::uint8_t RecordReport() const { return report_; }
    bool HasLinkTable() const { return hasTable_; }
    UnitCodec::LinkTable LinkTable() const { return table_; }

    const MemoryImage& FlashImage() const { return flash_; }
    const MemoryImage& ParameterImage() const { return parameters_; }

    UnitLog& Log() { return log_; }
    const UnitLog& Log() const { return log_; }

    void AddFault(const FaultSpec& fault) { faults_.Add(fault); }
    void ClearFaults() { faults_.Clear(); }

  private:
    enum class After { Nothing, EnterBinary, EndErase, EndCheck, Arrive, Leave };
    struct Pending {
        std::int64_t dueUs = 0;
        std::uint64_t seq = 0;
        std::optional<Transmission> tx;
        After after = After::Nothing;
        LogEntry entry;  // logged when it goes out
    };
    struct Reply {
        std::uint8_t status = 0;
        std::vector<std::uint8_t> payload;
        std::string note;  // why a request was refused
    };

    // Text mode (SimulatedUnitText.cpp).
    void OnTextBytes(std::span<const std::uint8_t> bytes, std::int64_t nowUs);
    void OnSentence(const std::vector<std::uint8_t>& raw, std::int64_t nowUs);
    std::size_t WholeSentenceLength(std::span<const std::uint8_t> bytes) const;
    // Link mode: requests and reply frames (SimulatedUnitBinary.cpp).
    void OnBinaryBytes(std::span<const std::uint8_t> bytes, std::int64_t nowUs);
    // Tries to cut one request off the front of the receive buffer.
    void TakeRequest(std::int64_t nowUs);
    // Length of the request at the front of `buffer` by its layout; 0 while
    // more bytes are needed to tell, or when it cannot be decoded (then
    // `undecodable` says why).
    std::size_t RequestLength(std::span<const std::uint8_t> buffer, std::string& undecodable) const;
    std::size_t WholeRequestLength(std::span<const std::uint8_t> bytes, std::int64_t nowUs) const;
    // Whether binary bytes arriving at nowUs follow a silence that ends the
    // request being received.
    bool SilenceBefore(std::int64_t nowUs) const {
        return nowUs - lastByteUs_ > config_.requestGapUs;
    }
    void OnRequest(const std::vector<std::uint8_t>& raw, std::int64_t nowUs);
    std::uint8_t ChooseHead();
    std::vector<std::uint8_t> EncodeReply(std::uint8_t head, int code, std::uint8_t status,
                                          const std::vector<std::uint8_t>& payload,
                                          bool shortReply);
    // The commands and the memories (SimulatedUnitCommands.cpp).
    Reply Execute(int code, const std::vector<std::uint8_t>& plain, std::int64_t nowUs);
    Reply Write(int code, const std::vector<std::uint8_t>& plain);

    // State, mode and timing (SimulatedUnit.cpp).
    void Schedule(std::int64_t dueUs, std::optional<Transmission> tx, After after, LogEntry entry);
    void SetMode(Mode mode, std::int64_t nowUs);
    void LogState(std::int64_t nowUs, const std::string& note);
    void HangUp(std::int64_t nowUs);
    // The unit leaves the line (pulled out); the next one follows if any.
    void Leave(std::int64_t nowUs);
    // The next unit (or the first) comes onto the line.
    void Arrive(std::int64_t nowUs);

    UnitConfig config_;
    UnitFaults faults_;
    bool connected_ = true;
    bool present_ = true;
    std::size_t arrivals_ = 0;  // units that came after the first
    Mode mode_ = Mode::Text;
    std::uint8_t report_;
    bool checked_ = false;  // the memory check after the closing command has finished
    bool hasTable_ = false;
    UnitCodec::LinkTable table_{};
    MemoryImage flash_;
    MemoryImage parameters_;
    UnitLog log_;
    std::mt19937_64 random_;
    std::mt19937_64 gapRandom_;  // the gaps between units

    std::vector<std::uint8_t> sentence_;  // text being received, from "$"
    std::vector<std::uint8_t> request_;   // binary request being received
    std::int64_t lastByteUs_ = 0;
    bool skipping_ = false;  // skipping an undecodable request until silence
    bool erasing_ = false;   // ignoring the line until the erase ends
    bool checking_ = false;  // memory check after the closing command

    std::vector<Pending> pending_;
    std::int64_t lastReplyDueUs_ = 0;  // binary replies leave in request order
    std::int64_t requestReadUs_ = -1;  // see NoteHostRead
    std::uint64_t nextSeq_ = 1;
};

}  // namespace sim
