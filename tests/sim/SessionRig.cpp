#include "SessionRig.h"

#include "mduGlobalModule.h"

SessionRig::Bytes SessionRig::Transact(std::span<const std::uint8_t> bytes, int baud,
                                       std::int64_t limitUs) {
    line.Send(bytes, baud);
    const std::int64_t sentUs = line.NowUs();
    lastRaw = line.AwaitReply(limitUs);
    lastDelayUs = lastRaw.empty() ? -1 : line.LastReplyUs() - sentUs;
    return lastRaw;
}

SessionRig::Bytes SessionRig::SentenceRaw(const char* text, std::int64_t limitUs) {
    return Transact(mduGlobalModule::BuildSentence(text), sim::SimulatedUnit::kTextBaud, limitUs);
}

std::vector<std::string> SessionRig::Sentence(const char* text, std::int64_t limitUs) {
    return mduGlobalModule::ParseSentence(SentenceRaw(text, limitUs));
}

HostLink::Reply SessionRig::Exchange(int code, const Bytes& body, std::int64_t limitUs) {
    return host.Decode(Transact(code == 0 ? host.Attach() : host.Request(code, body),
                                sim::SimulatedUnit::kBinaryBaud, limitUs));
}

bool SessionRig::EnterLinkMode() {
    const auto link = Sentence("$GSLNK");
    return !link.empty() && link[0] == "ASACK" &&
           unit.CurrentMode() == sim::SimulatedUnit::Mode::Binary && Exchange(0).Status() == 0x08;
}
