#include "clsLinkUnit.h"

#include "ISecurityCodec.h"
#include "ProgramMessageBoxes.h"

namespace {

constexpr std::int32_t kInitialCode = 14;

// Reply timing of one command code.
struct Timing {
    std::int32_t frameSpace;
    std::int32_t timeOut;
    std::int16_t fastResponseLength;
};

bool TimingFor(std::int32_t code, Timing& timing) {
    switch (code) {
        case 0:
        case 33:
        case 34:
        case 48:
        case 50:
            timing = {5, 2000, -1};
            return true;
        case 1:
        case 4:
        case 9:
        case 10:
        case 11:
        case 49:
            timing = {10, 300, -1};
            return true;
        case 2:
            timing = {10, -1, -1};
            return true;
        case 5:
        case 6:
        case 7:
        case 8:
        case 15:
        case 41:
        case 42:
        case 52:
        case 53:
        case 54:
        case 55:
            timing = {20, 300, -1};
            return true;
        case 14:
            timing = {10, 55000, -1};
            return true;
        case 51:
            timing = {5, 2000, 4};  // the unit answers a flash block with five bytes
            return true;
        default:
            return false;
    }
}

enum class BodyForm { None, Plain, Table, Write, Read };

BodyForm BodyFormFor(std::int32_t code) {
    switch (code) {
        case 0:
        case 9:
        case 10:
        case 11:
        case 15:
        case 33:
        case 34:
            return BodyForm::Table;
        case 1:
        case 2:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 14:
        case 41:
        case 42:
            return BodyForm::Plain;
        case 48:
        case 49:
        case 50:
        case 51:
            return BodyForm::Write;
        case 52:
        case 53:
        case 54:
        case 55:
            return BodyForm::Read;
        default:
            return BodyForm::None;
    }
}

}  // namespace

clsLinkUnit::clsLinkUnit() {
    SetSubGroupTypeCode(kInitialCode);
}

clsLinkUnit::clsLinkUnit(ISecurityCodec& codec) : codec_(&codec) {
    SetSubGroupTypeCode(kInitialCode);
}

void clsLinkUnit::SetRecheckData(std::span<const std::uint8_t> data) {
    if (!data.empty()) {
        recheckData_.assign(data.begin(), data.end());
    }
}

void clsLinkUnit::SetSubGroupTypeCode(std::int32_t code) {
    subGroupTypeCode_ = code;
    fastResponseLength_ = -1;
    Timing timing{};
    if (TimingFor(code, timing)) {
        frameSpaceInterval_ = timing.frameSpace;
        timeOutInterval_ = timing.timeOut;
        fastResponseLength_ = timing.fastResponseLength;
    }
}

bool clsLinkUnit::BuildBody(std::vector<std::uint8_t>& body) {
    const BodyForm form = BodyFormFor(subGroupTypeCode_);
    if (form == BodyForm::None) {
        lastFault_ = MessageFault::NoMessageForCode;
        return false;
    }
    const bool addressed = form == BodyForm::Write || form == BodyForm::Read;
    if (addressed && (address_ < 0 || address_ > kMaxAddress)) {
        Fail(MessageFault::AddressOutOfRange,
             "address " + std::to_string(address_) + " does not fit 24 bits");
        return false;
    }
    if (form == BodyForm::Write && dataTable_.size() > kMaxWriteLength) {
        Fail(MessageFault::DataTableTooLong,
             "write of " + std::to_string(dataTable_.size()) + " bytes exceeds 255");
        return false;
    }
    // A write carries 1 to 255 bytes: its length byte 0 would be a write of
    // nothing at the address, which no caller means.
    if (form == BodyForm::Write && dataTable_.empty()) {
        Fail(MessageFault::DataTableEmpty, "write without data bytes");
        return false;
    }

    body.clear();
    body.push_back(static_cast<std::uint8_t>(subGroupTypeCode_));
    if (addressed) {
        // Most significant byte first.
        body.push_back(static_cast<std::uint8_t>((address_ >> 16) & 0xFF));
        body.push_back(static_cast<std::uint8_t>((address_ >> 8) & 0xFF));
        body.push_back(static_cast<std::uint8_t>(address_ & 0xFF));
    }
    switch (form) {
        case BodyForm::Table:
            body.insert(body.end(), dataTable_.begin(), dataTable_.end());
            break;
        case BodyForm::Write:
            body.push_back(static_cast<std::uint8_t>(dataTable_.size()));
            body.insert(body.end(), dataTable_.begin(), dataTable_.end());
            break;
        case BodyForm::Read:
            body.push_back(queuyDataSize_);
            break;
        case BodyForm::Plain:
        case BodyForm::None:
            break;
    }
    return true;
}

void clsLinkUnit::Fail(MessageFault fault, const std::string& description) {
    lastFault_ = fault;
    platform::ProgramMessageBoxes::Get().Show(
        "程式運作異常<AutoSendMessageToUnit> : \r\n" + description, platform::MsgButtons::Ok,
        platform::MsgIcon::Critical);
}

std::vector<std::uint8_t> clsLinkUnit::GetLinkMessage(bool vAutoEncoderReq,
                                                      std::uint8_t vEncoderHeadCode,
                                                      bool vAutoCountDown) {
    lastFault_ = MessageFault::None;
    std::vector<std::uint8_t> body;
    if (!BuildBody(body)) {
        return {};
    }

    std::vector<std::uint8_t> message;
    if (vAutoEncoderReq) {
        if (codec_ == nullptr) {
            Fail(MessageFault::NoCodec, "no scrambling codec for the request");
            return {};
        }
        std::vector<std::uint8_t> plain;
        plain.reserve(body.size() + 1);
        plain.push_back(vEncoderHeadCode);
        plain.insert(plain.end(), body.begin(), body.end());
        message = codec_->SecurityCODEC(plain);
    } else {
        message = std::move(body);
    }

    if (vAutoCountDown) {
        retryCounter_ = retryCounter_ - 1 > 0 ? static_cast<std::int16_t>(retryCounter_ - 1) : 0;
    }
    return message;
}

std::uint8_t clsLinkUnit::CheckUnitResponsePackage(std::span<const std::uint8_t> reply) {
    constexpr std::uint8_t kNotTaken = 0xF0;
    if (reply.size() < 5) {
        return kNotTaken;
    }
    checkStatus_ = reply[2];
    if (reply[1] != subGroupTypeCode_) {
        return kNotTaken;
    }
    const std::uint8_t refusal = reply[2] & 0xF0;
    if (refusal != 0) {
        return refusal;
    }
    if (reply.size() == 5) {
        return 0;
    }
    // Everything between the status byte and the two CRC bytes.
    const auto data = reply.subspan(3, reply.size() - 5);
    unitResponseData_.assign(data.begin(), data.end());
    recheckData_.assign(data.begin(), data.end());
    return kNotTaken;
}
