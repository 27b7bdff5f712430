#include "SentenceReply.h"

#include "mduGlobalModule.h"

namespace {

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

}  // namespace

SentenceReply SentenceReply::Read(std::span<const std::uint8_t> bytes) {
    SentenceReply reply;
    bool fault = false;
    reply.fields = mduGlobalModule::ParseSentence(bytes, fault);
    if (fault) {
        reply.verdict = SentenceVerdict::Garbled;
    } else if (reply.fields.empty()) {
        reply.verdict = SentenceVerdict::NoFields;
    } else if (UpperAscii(reply.fields[0]) == "ASACK") {
        reply.verdict = SentenceVerdict::Acknowledgement;
    } else {
        reply.verdict = SentenceVerdict::Refusal;
    }
    return reply;
}
