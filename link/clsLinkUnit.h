#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class ISecurityCodec;

// One binary link request and what came back for it.
//
// Setting SubGroupTypeCode (the command code) also sets the reply timing the
// serial driver uses for it; GetLinkMessage lays out the request body for
// that code and, on request, puts the head code in front and scrambles the
// whole through the program's codec; CheckUnitResponsePackage judges an
// unscrambled reply.
//
// The array properties hold their own copies. Setting RecheckData to an empty
// array leaves the stored value as it was; DataTable and UnitResponseData
// store exactly what they are given, an empty array included.
class clsLinkUnit {
  public:
    // Why the last GetLinkMessage gave an empty array.
    enum class MessageFault {
        None,
        NoMessageForCode,   // the code has no message body
        AddressOutOfRange,  // Address not within 0..16777215 (24 bits)
        DataTableTooLong,   // a write (48..51) with more than 255 data bytes
        DataTableEmpty,     // a write (48..51) without data bytes
        NoCodec,            // scrambling asked for without a codec
    };

    static constexpr std::int16_t kMaxLinkRetryTimes = 3;
    static constexpr std::int32_t kMaxAddress = 0xFFFFFF;
    static constexpr std::size_t kMaxWriteLength = 255;

    clsLinkUnit();
    // The codec scrambles the message when GetLinkMessage is asked to; it
    // must outlive the record (the window passes its single random source).
    explicit clsLinkUnit(ISecurityCodec& codec);

    void SetSecurityCodec(ISecurityCodec* codec) { codec_ = codec; }

    // Index of the last byte of the expected reply (length - 1); -1 = any.
    std::int16_t FastResponseLength() const { return fastResponseLength_; }
    std::int16_t MaxLinkRetryTimes() const { return kMaxLinkRetryTimes; }

    std::vector<std::uint8_t> DataTable() const { return dataTable_; }
    void SetDataTable(std::span<const std::uint8_t> data) {
        dataTable_.assign(data.begin(), data.end());
    }

    std::vector<std::uint8_t> UnitResponseData() const { return unitResponseData_; }
    void SetUnitResponseData(std::span<const std::uint8_t> data) {
        unitResponseData_.assign(data.begin(), data.end());
    }

    std::int32_t Address() const { return address_; }
    void SetAddress(std::int32_t address) { address_ = address; }

    std::uint8_t QueuyDataSize() const { return queuyDataSize_; }
    void SetQueuyDataSize(std::uint8_t size) { queuyDataSize_ = size; }

    std::int16_t RetryCounter() const { return retryCounter_; }
    void SetRetryCounter(std::int16_t count) { retryCounter_ = count; }

    std::vector<std::uint8_t> RecheckData() const { return recheckData_; }
    void SetRecheckData(std::span<const std::uint8_t> data);

    std::uint8_t CheckStatus() const { return checkStatus_; }

    std::int32_t SubGroupTypeCode() const { return subGroupTypeCode_; }
    // Also sets FrameSpaceInterval, TimeOutInterval and FastResponseLength for
    // the code; a code without timing keeps the two intervals and gets -1.
    void SetSubGroupTypeCode(std::int32_t code);

    // Milliseconds of line silence that end the reply.
    std::int32_t FrameSpaceInterval() const { return frameSpaceInterval_; }
    // Milliseconds from the send to the reply time-out; -1 = no reply awaited.
    std::int32_t TimeOutInterval() const { return timeOutInterval_; }

    // The request's message. Plain: the body of the current code. With
    // vAutoEncoderReq: vEncoderHeadCode followed by the body, scrambled by
    // the codec (the head code stays as it is), i.e. the request frame
    // without its CRC. With vAutoCountDown the retry count drops by one, not
    // below 0.
    //
    // A request that cannot be encoded (see MessageFault) gives an empty
    // array, leaves the retry count alone and is recorded in
    // LastMessageFault. The encoding faults (address, a write of no data or
    // of more than 255 bytes, codec) are also shown at once, as the sender's
    // error trap shows them:
    // critical box "程式運作異常<AutoSendMessageToUnit> : " CR LF and the
    // fault's description. A code without a message body shows nothing (the
    // sender never asks for one).
    std::vector<std::uint8_t> GetLinkMessage(bool vAutoEncoderReq = false,
                                             std::uint8_t vEncoderHeadCode = 0,
                                             bool vAutoCountDown = false);
    MessageFault LastMessageFault() const { return lastFault_; }

    // Judges an unscrambled reply (CRC bytes still at its end, not examined).
    // Byte 2 becomes CheckStatus once the reply has at least 5 bytes; an
    // accepted reply to this code that carries data stores the bytes between
    // the status byte and the CRC in UnitResponseData and RecheckData. The
    // owner judges by CheckStatus; the result is 0xF0 for a short reply, a
    // reply to another code or a stored payload, the status high nibble when
    // it is not 0, and 0 for an accepted five-byte reply.
    std::uint8_t CheckUnitResponsePackage(std::span<const std::uint8_t> reply);

  private:
    bool BuildBody(std::vector<std::uint8_t>& body);
    void Fail(MessageFault fault, const std::string& description);

    ISecurityCodec* codec_ = nullptr;
    std::int16_t fastResponseLength_ = -1;
    std::int32_t subGroupTypeCode_ = 0;
    std::int32_t address_ = 0;
    std::uint8_t queuyDataSize_ = 0;
    std::vector<std::uint8_t> dataTable_;
    std::vector<std::uint8_t> recheckData_;
    std::int16_t retryCounter_ = kMaxLinkRetryTimes;
    std::int32_t frameSpaceInterval_ = 0;
    std::int32_t timeOutInterval_ = 0;
    std::uint8_t checkStatus_ = 0;
    std::vector<std::uint8_t> unitResponseData_;
    MessageFault lastFault_ = MessageFault::None;
};
