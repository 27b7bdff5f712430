#include "clsCommandLayer.h"

#include "IHostImageDisplay.h"
#include "ProgramMessageBoxes.h"
#include "clsComm.h"
#include "clsLinkUnit.h"
#include "clsRandom.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfigBase.h"
#include "mduDeviceChecks.h"
#include "mduGlobalModule.h"

namespace {

constexpr std::int32_t kMaxReadSize = 255;
// Reply status: the high nibble is 0 when the unit accepted the request.
constexpr std::uint8_t kRefusedMask = 0xF0;
// A reply is head code, echoed code, status and the two CRC bytes at least.
constexpr std::size_t kShortestReply = 5;

void ShowBuilderFault(const std::string& description) {
    platform::ProgramMessageBoxes::Get().Show(
        "程式運作異常<AutoSendMessageToUnit> : \r\n" + description, platform::MsgButtons::Ok,
        platform::MsgIcon::Critical);
}

}  // namespace

const char* VerdictName(ReplyVerdict verdict) {
    switch (verdict) {
        case ReplyVerdict::Good:
            return "good";
        case ReplyVerdict::NoFrame:
            return "no-frame";
        case ReplyVerdict::BadCrc:
            return "bad-crc";
        case ReplyVerdict::Short:
            return "short";
        case ReplyVerdict::ForeignEcho:
            return "foreign-echo";
        case ReplyVerdict::Refused:
            return "refused";
        case ReplyVerdict::MissingBits:
            return "missing-bits";
        case ReplyVerdict::NoRequest:
            return "no-request";
    }
    return "?";
}

clsCommandLayer::clsCommandLayer(clsComm& comm, clsRandom& random, clsUnitConfig2& unitConfig2,
                                 clsUnitConfigBase& unitConfigBase, IHostImageDisplay* hostImage)
    : comm_(comm),
      random_(random),
      unitConfig2_(unitConfig2),
      unitConfigBase_(unitConfigBase),
      hostImage_(hostImage) {}

clsCommandLayer::~clsCommandLayer() = default;

// --- Binary requests ---------------------------------------------------------------

std::unique_ptr<clsLinkUnit> clsCommandLayer::CreateLinkUnit(std::int32_t code,
                                                             std::span<const std::uint8_t> data,
                                                             std::int32_t address,
                                                             std::int32_t size) {
    if (!IsCatalogued(code)) {
        return nullptr;
    }
    auto record = std::make_unique<clsLinkUnit>(random_);
    record->SetSubGroupTypeCode(code);
    switch (static_cast<CommandCode>(code)) {
        case CommandCode::Attach:
            record->SetDataTable(random_.SecurityTable());
            break;
        case CommandCode::SSup:
            record->SetDataTable(mduGlobalModule::GetFixedTable());
            break;
        case CommandCode::SSecu1: {
            const std::uint16_t crc =
                mduGlobalModule::GetCrc16(mduGlobalModule::TextToBytes(unitConfig2_.UnitID()));
            const std::vector<std::uint8_t> payload{static_cast<std::uint8_t>(crc >> 8),
                                                    static_cast<std::uint8_t>(crc & 0xFF)};
            record->SetDataTable(payload);
            break;
        }
        case CommandCode::SSecu2: {
            const std::vector<std::uint8_t> table = random_.SecurityTable();
            record->SetDataTable(std::span(table).subspan(4, 4));
            break;
        }
        case CommandCode::FNull:
            record->SetDataTable(unitConfigBase_.ForceNullBytes());
            break;
        case CommandCode::DataWrite:
        case CommandCode::ParameterWrite:
        case CommandCode::FlashWrite:
            // The request carries the data's length in one byte; a length the
            // byte cannot hold (or none) is caught when the message is built.
            record->SetAddress(address);
            record->SetQueuyDataSize(static_cast<std::uint8_t>(data.size() & 0xFF));
            record->SetDataTable(data);
            break;
        case CommandCode::DataRead52:
        case CommandCode::DataRead53:
        case CommandCode::DataRead54:
        case CommandCode::DataRead55:
            if (size < 0 || size > kMaxReadSize) {
                ShowBuilderFault("read size " + std::to_string(size) + " is outside 0 to 255");
                return nullptr;
            }
            record->SetAddress(address);
            record->SetQueuyDataSize(static_cast<std::uint8_t>(size));
            break;
        default:
            break;
    }
    return record;
}

bool clsCommandLayer::AutoSendMessageToUnit(std::int32_t code, std::span<const std::uint8_t> data,
                                            std::int32_t address, std::int32_t size, bool tableKey,
                                            bool retry) {
    // The retry count carries over to a resend; a new request starts afresh.
    std::int16_t retryCount = -1;
    if (currentLinkUnit_ && retry) {
        retryCount = currentLinkUnit_->RetryCounter();
    }
    currentLinkUnit_.reset();

    currentLinkUnit_ = CreateLinkUnit(code, data, address, size);
    if (!currentLinkUnit_) {
        return false;
    }
    currentLinkUnit_->SetRetryCounter(retryCount);

    std::uint8_t head = random_.CurrentRandomByteData(random_.RandomInex());
    if (!tableKey) {
        // A head code equal to its own nibble swap selects the rolling key,
        // the only one the unit can undo before it holds the link table.
        head = static_cast<std::uint8_t>(mduGlobalModule::SwapNibbles(head) ^ head);
    }
    const std::vector<std::uint8_t> message = currentLinkUnit_->GetLinkMessage(true, head, !retry);
    if (message.empty()) {
        return false;  // the record has shown why
    }
    // Every request, retries included, takes the next random byte.
    random_.SetRandomInex(static_cast<std::uint8_t>(random_.RandomInex() + 1));

    std::vector<std::uint8_t> frame(message.size() + 2);
    std::copy(message.begin(), message.end(), frame.begin());
    const std::uint16_t crc = mduGlobalModule::GetCrc16(message);
    frame[message.size()] = static_cast<std::uint8_t>(crc >> 8);
    frame[message.size() + 1] = static_cast<std::uint8_t>(crc & 0xFF);

    ShowHostImage(frame, true, false);

    comm_.SetCommuStats(2);
    if (comm_.CommuStats() != 2) {
        return false;
    }
    return Send(frame, code, currentLinkUnit_->FrameSpaceInterval(),
                currentLinkUnit_->TimeOutInterval(), currentLinkUnit_->FastResponseLength());
}

std::vector<std::uint8_t> clsCommandLayer::DecodeUnitResponse(
    std::span<const std::uint8_t> received) {
    std::vector<std::uint8_t> plain = SecurityCODEC(received);
    if (currentLinkUnit_) {
        currentLinkUnit_->CheckUnitResponsePackage(plain);
    }
    return plain;
}

bool clsCommandLayer::CheckUnitStatus(std::int32_t requiredBits, bool strict) const {
    if (!currentLinkUnit_) {
        return false;
    }
    const std::uint8_t status = currentLinkUnit_->CheckStatus();
    if ((requiredBits & ~0xFF) != 0) {
        return false;  // a bit the one-byte status cannot carry is never set
    }
    const auto required = static_cast<std::uint8_t>(requiredBits);
    if (strict && (status & kRefusedMask) != 0) {
        return false;
    }
    return (status & required) == required;
}

std::vector<std::uint8_t> clsCommandLayer::SecurityCODEC(std::span<const std::uint8_t> bytes) {
    return random_.SecurityCODEC(bytes);
}

CommandReply clsCommandLayer::JudgeReply(std::span<const std::uint8_t> received,
                                         std::int32_t requiredBits) {
    CommandReply reply;
    if (received.empty()) {
        reply.verdict = ReplyVerdict::NoFrame;
        return reply;
    }
    if (!mduGlobalModule::CheckCrc16(received)) {
        reply.verdict = ReplyVerdict::BadCrc;
        return reply;
    }
    if (!currentLinkUnit_) {
        reply.verdict = ReplyVerdict::NoRequest;
        return reply;
    }
    reply.plain = DecodeUnitResponse(received);
    if (reply.plain.size() < kShortestReply) {
        reply.verdict = ReplyVerdict::Short;
        return reply;
    }
    reply.status = reply.plain[2];
    if (reply.plain[1] != currentLinkUnit_->SubGroupTypeCode()) {
        // A stale or foreign reply: its status says nothing of this request.
        reply.verdict = ReplyVerdict::ForeignEcho;
        return reply;
    }
    if ((reply.status & kRefusedMask) != 0) {
        reply.verdict = ReplyVerdict::Refused;
        return reply;
    }
    if (!CheckUnitStatus(requiredBits, true)) {
        reply.verdict = ReplyVerdict::MissingBits;
        return reply;
    }
    reply.verdict = ReplyVerdict::Good;
    // This reply's own bytes between the status byte and the CRC (the record
    // keeps an earlier, longer reply's when this one has none).
    reply.payload.assign(reply.plain.begin() + 3, reply.plain.end() - 2);
    return reply;
}

// --- Listening ---------------------------------------------------------------------

bool clsCommandLayer::ListenForStrayReplies(std::int32_t timeOutMs) {
    const std::int32_t frameSpace =
        currentLinkUnit_ ? currentLinkUnit_->FrameSpaceInterval() : kSentenceFrameSpaceMs;
    return Send({}, -1, frameSpace, timeOutMs, -1);
}

// --- Text dialect ----------------------------------------------------------------

bool clsCommandLayer::SendSentenceToUnit(const std::string& head, bool throwError,
                                         bool showMessage) {
    const std::vector<std::uint8_t> sentence = mduGlobalModule::BuildSentence(head);
    comm_.SetCommuStats(comm_.NewCommStats(1, false, throwError, showMessage));
    if (comm_.CommuStats() != 1) {
        return false;
    }
    return Send(sentence, -1, kSentenceFrameSpaceMs, kSentenceTimeOutMs, -1);
}

bool clsCommandLayer::SetCommState(std::int32_t state) {
    comm_.NewCommStats(state, true, false, false);
    return comm_.CommuStats() == state;
}

bool clsCommandLayer::Send(const std::vector<std::uint8_t>& frame, std::int32_t code,
                           std::int32_t frameSpace, std::int32_t timeOut,
                           std::int16_t fastResponse) {
    const bool sent = comm_.SendDataToUnit(frame, frameSpace, timeOut, fastResponse);
    if (sent && frameObserver_) {
        frameObserver_(frame, code);
    }
    return sent;
}

// --- Diagnostic echo -----------------------------------------------------------------

std::string clsCommandLayer::HostImageText(std::span<const std::uint8_t> bytes, bool hex) {
    if (!hex) {
        return mduDeviceChecks::UnitTextForDisplay(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    // Every frame passes here (a block is about 230 bytes): written straight
    // into the text rather than a small string per byte.
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(bytes.size() * 2, '0');
    std::size_t at = 0;
    for (const std::uint8_t byte : bytes) {
        text[at++] = kDigits[byte >> 4];
        text[at++] = kDigits[byte & 0x0F];
    }
    return text;
}

void clsCommandLayer::ShowHostImage(std::span<const std::uint8_t> bytes, bool hex, bool append) {
    if (hostImage_ == nullptr) {
        return;
    }
    const std::string text = HostImageText(bytes, hex);
    hostImage_->SetHostImageText(append ? hostImage_->HostImageText() + " : " + text : text);
}
