#pragma once

#include <cstdint>
#include <span>

#include "CommandReply.h"

class clsCommandLayer;
class clsPNV480DnLdData;

// Which blocks of the data file go out: flash (command 51) or parameter (50).
enum class BlockKind { Flash, Parameter };

// What an event of a block transfer came to.
enum class BlockLinkResult {
    BlockSent,  // a block is on its way: the first, the next or the same again
    Waiting,    // a barrier request or a listening wait is on its way
    StageDone,  // no block of this kind is left
    NoReply,    // failed: the last try went unanswered
    BadReply,   // failed: every try was answered, the last not acceptably
    NotSent,    // failed: a request could not be built or handed to the driver
};

// The result, and what happened on the way for the run's count.
struct BlockLinkStep {
    BlockLinkResult result = BlockLinkResult::Waiting;
    bool acknowledged = false;  // a block was acknowledged: one more written
    bool resent = false;        // the block was sent again
};

// Owns the block link of a transfer: sending the next block of a kind,
// sending it again up to kBlockSends times in all, the barrier that brings
// replies back in step after a block whose sends did not all get a clean
// reply, and the late answers to earlier barrier requests. It is driven by
// the events of the transfer stage and returns what each came to; it shows
// nothing (the update sequence decides what the operator sees).
//
// Replies carry no block number. After a block had to be sent again (a
// time-out, a damaged or refused reply, line noise taken for one), a reply to
// an earlier send of it may still be on its way; taken for the answer to the
// next block, it would count that block as written when the unit may never
// have received it (a request lost on the line). So the acknowledgement of
// such a block is followed by a barrier: a record-report request (STS), which
// the unit answers in order after every request before it. Replies echoing
// the block command are stray replies of earlier sends and are dropped; the
// barrier's own reply puts the link back in step. No block follows before it
// has come.
//
// A unit may also answer one request twice. The driver tells when bytes
// came that no request can have called for: a copy waiting when the next
// block was handed over (thrown away), or one that came while that block was
// still leaving the port (it cannot be its answer: the block's own reply is
// waited for instead). Either way the block in flight is treated as after a
// resend: its acknowledgement is followed by a barrier. A copy that comes
// after the next block has left cannot be told from that block's answer; on
// a clean line none comes, and the barrier costs nothing there.
//
// The barrier is needed on noisy lines, where it may be lost itself: it is
// sent again after a quiet wait or a damaged frame, up to kBarrierSends
// times. The answers to its earlier sends may then still come after the next
// block has gone out; they echo STS, not the block's code, and are dropped
// without costing that block a try.
class clsBlockLink {
  public:
    // Sends of one block in all (the first and three more).
    static constexpr int kBlockSends = 4;
    static constexpr int kBarrierSends = 4;
    // Each barrier send waits its request's own time-out and then one block
    // write's reply time-out (2 s) of listening, since its reply may queue
    // behind the replies to every send of the block. The stage gives up as on
    // a block without reply after the last send's wait, or after this many
    // waits and stray replies in all (the two waits of each of the four
    // sends, and the stray replies of up to four block sends).
    static constexpr int kBarrierWaits = 2 * kBarrierSends + 4;
    static constexpr std::int32_t kBarrierWaitMs = 2000;

    // A new run: no late barrier replies are expected any more.
    void Reset();

    // The stage's start: the first block of the kind goes out. The layer and
    // the file are used by the events that follow and must outlive them
    // (until the next Start or Reset). requiredBits: the status bits a
    // block's reply must carry.
    BlockLinkStep Start(clsCommandLayer& commands, clsPNV480DnLdData& dataFile, BlockKind kind,
                        std::int32_t requiredBits);
    // A reply came (its bytes); the reply time-out passed.
    BlockLinkStep OnReply(std::span<const std::uint8_t> received);
    BlockLinkStep OnTimeOut();

  private:
    BlockLinkStep SendBlock(bool next);
    BlockLinkStep Resend(bool timedOut);
    BlockLinkStep SendBarrier();
    BlockLinkStep ResendBarrier();
    // The barrier's reply or time-out (reply nullptr).
    BlockLinkStep AwaitBarrier(const CommandReply* reply);
    // Waits on the line for the reply still owed, sending nothing.
    BlockLinkStep Listen(std::int32_t timeOutMs);
    // The reply time-out of the request in flight.
    std::int32_t CurrentTimeOut() const;
    // A reply that is the late answer to an earlier barrier request.
    bool IsLateBarrierReply(const CommandReply& reply) const;

    clsCommandLayer* commands_ = nullptr;
    clsPNV480DnLdData* dataFile_ = nullptr;
    BlockKind kind_ = BlockKind::Flash;
    std::int32_t requiredBits_ = 0;

    int blockSends_ = 0;      // sends of the block in flight
    bool uncertain_ = false;  // a send of this block got no clean reply
    bool barrier_ = false;    // waiting for the barrier's reply
    bool listened_ = false;   // the last barrier send has had its listening wait
    int barrierSends_ = 0;    // barrier requests sent for this block
    int barrierWaits_ = 0;    // time-outs and stray replies while waiting
    // Barrier requests whose replies have not come (at most three: all but
    // the one answered). They may come in the next stage.
    int lateBarrierReplies_ = 0;
};
