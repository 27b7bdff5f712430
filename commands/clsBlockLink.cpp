#include "clsBlockLink.h"

#include "CommandCode.h"
#include "clsComm.h"
#include "clsCommandLayer.h"
#include "clsLinkUnit.h"
#include "clsPNV480DnLdData.h"

void clsBlockLink::Reset() {
    *this = clsBlockLink{};
}

BlockLinkStep clsBlockLink::Start(clsCommandLayer& commands, clsPNV480DnLdData& dataFile,
                                  BlockKind kind, std::int32_t requiredBits) {
    const int late = lateBarrierReplies_;  // they may still come in this stage
    *this = clsBlockLink{};
    lateBarrierReplies_ = late;
    commands_ = &commands;
    dataFile_ = &dataFile;
    kind_ = kind;
    requiredBits_ = requiredBits;
    return SendBlock(true);
}

BlockLinkStep clsBlockLink::OnReply(std::span<const std::uint8_t> received) {
    if (commands_ == nullptr) {
        return {};  // no transfer has started
    }
    if (barrier_) {
        const CommandReply reply = commands_->JudgeReply(received, 0);
        return AwaitBarrier(&reply);
    }
    const clsComm& comm = commands_->Comm();
    if (comm.DroppedBeforeSend() || comm.RepliedBeforeSent()) {
        uncertain_ = true;  // a second reply: more may be on their way
    }
    if (comm.RepliedBeforeSent()) {
        // It came before the block had left the port: not its answer, which
        // is still owed (or lost with the block).
        return Listen(CurrentTimeOut());
    }
    const CommandReply reply = commands_->JudgeReply(received, requiredBits_);
    if (reply.Good()) {
        if (uncertain_) {
            return SendBarrier();
        }
        BlockLinkStep step = SendBlock(true);
        step.acknowledged = true;
        return step;
    }
    if (IsLateBarrierReply(reply)) {
        --lateBarrierReplies_;
        // The block's own reply is still to come: wait for it as long as for
        // a fresh send.
        return Listen(CurrentTimeOut());
    }
    uncertain_ = true;
    return Resend(false);
}

BlockLinkStep clsBlockLink::OnTimeOut() {
    if (commands_ == nullptr) {
        return {};
    }
    if (barrier_) {
        return AwaitBarrier(nullptr);
    }
    uncertain_ = true;
    return Resend(true);
}

BlockLinkStep clsBlockLink::SendBlock(bool next) {
    const bool flash = kind_ == BlockKind::Flash;
    const clsDownloadUnit* block = nullptr;
    if (flash) {
        block = next ? dataFile_->NextFlashBlock() : dataFile_->CurrFlashBlock();
    } else {
        block = next ? dataFile_->NextEEPParameterBlock() : dataFile_->CurrEEPParameterBlock();
    }
    if (block == nullptr) {
        return {BlockLinkResult::StageDone};
    }
    if (next) {
        blockSends_ = 0;
    }
    ++blockSends_;
    const CommandCode code = flash ? CommandCode::FlashWrite : CommandCode::ParameterWrite;
    const std::span<const std::uint8_t> bytes = block->Data();
    const bool sent = commands_->AutoSendMessageToUnit(
        code, bytes, block->Address(), static_cast<std::int32_t>(bytes.size()), true, !next);
    return {sent ? BlockLinkResult::BlockSent : BlockLinkResult::NotSent};
}

BlockLinkStep clsBlockLink::Resend(bool timedOut) {
    if (blockSends_ >= kBlockSends) {
        return {timedOut ? BlockLinkResult::NoReply : BlockLinkResult::BadReply};
    }
    BlockLinkStep step = SendBlock(false);
    step.resent = true;
    return step;
}

BlockLinkStep clsBlockLink::SendBarrier() {
    barrier_ = true;
    barrierSends_ = 0;
    barrierWaits_ = 0;
    lateBarrierReplies_ = 0;
    return ResendBarrier();
}

BlockLinkStep clsBlockLink::ResendBarrier() {
    ++barrierSends_;
    listened_ = false;
    const bool sent = commands_->AutoSendMessageToUnit(CommandCode::STS, {}, 0, 0, true, false);
    return {sent ? BlockLinkResult::Waiting : BlockLinkResult::NotSent};
}

BlockLinkStep clsBlockLink::AwaitBarrier(const CommandReply* reply) {
    // Any reply echoing the barrier's code answers it, whatever its status:
    // everything sent before it has been answered.
    if (reply != nullptr &&
        (reply->verdict == ReplyVerdict::Good || reply->verdict == ReplyVerdict::Refused ||
         reply->verdict == ReplyVerdict::MissingBits)) {
        // The answer may be to the first of several sends; the others'
        // answers follow it.
        const int late = barrierSends_ - 1;
        uncertain_ = barrier_ = listened_ = false;
        barrierSends_ = barrierWaits_ = 0;
        lateBarrierReplies_ = late;
        BlockLinkStep step = SendBlock(true);
        step.acknowledged = true;
        return step;
    }
    // Each send is given its own short time-out and then a block write's
    // (2 s) of listening: the unit answers in order, and the replies to
    // every earlier send of the block may come first. A clean frame echoing
    // another code is such a stray reply: listen on. A quiet wait after
    // listening, or a damaged frame: the barrier or its reply may be lost, so
    // ask again while sends remain. After the last send, a quiet wait ends
    // the stage as a block without reply does.
    if (++barrierWaits_ > kBarrierWaits) {
        return {BlockLinkResult::NoReply};
    }
    const bool sendsLeft = barrierSends_ < kBarrierSends;
    if (reply == nullptr) {
        if (!listened_) {
            listened_ = true;
            return Listen(kBarrierWaitMs);
        }
        return sendsLeft ? ResendBarrier() : BlockLinkStep{BlockLinkResult::NoReply};
    }
    if (reply->verdict == ReplyVerdict::ForeignEcho || !sendsLeft) {
        return Listen(kBarrierWaitMs);
    }
    return ResendBarrier();
}

BlockLinkStep clsBlockLink::Listen(std::int32_t timeOutMs) {
    const bool listening = commands_->ListenForStrayReplies(timeOutMs);
    return {listening ? BlockLinkResult::Waiting : BlockLinkResult::NotSent};
}

std::int32_t clsBlockLink::CurrentTimeOut() const {
    const clsLinkUnit* request = commands_->CurrentLinkUnit();
    return request != nullptr ? request->TimeOutInterval() : kBarrierWaitMs;
}

bool clsBlockLink::IsLateBarrierReply(const CommandReply& reply) const {
    return lateBarrierReplies_ > 0 && reply.verdict == ReplyVerdict::ForeignEcho &&
           reply.plain.size() >= 2 && reply.plain[1] == ToInt(CommandCode::STS);
}
