// Whether a command did what was asked (see verdict.h).
#include "ops/verdict.h"

#include "ops/answers.h"

namespace scout::ops {
namespace {

// The target in a look: a row on its interface, with its texts where the
// search before saw them.
bool IsTarget(const Decision& decision, const Reply& row) {
    if (!SameInterface(row.via, decision.via))
        return false;
    bool texts = decision.targetRows.empty();
    for (const Reply& seen : decision.targetRows)
        texts = texts || SameTexts(seen, row);
    return texts;
}

WaitVerdict Verdict(OutcomeKind kind, double seconds, const std::string& answersAt = "") {
    WaitVerdict verdict;
    verdict.kind = kind;
    verdict.seconds = seconds;
    verdict.answersAt = answersAt;
    return verdict;
}

std::string Text(NetAddress address) {
    char text[AddressTextCapacity];
    FormatAddress(address, text, sizeof text);
    return text;
}

}  // namespace

Verification VerifyReconfigure(const Decision& decision, NetAddress newAddress, const std::vector<Reply>& after) {
    Verification result;
    const std::vector<const Reply*> there = AnswersAt(after, newAddress, decision.via);
    for (const Reply* row : there)
        result.answering += IsTarget(decision, *row) ? 1 : 0;
    result.count = there.size();
    if (there.size() == 1 && result.answering == 1)
        result.seen = AtNewAddress::TheTarget;
    else if (there.empty())
        result.seen = AtNewAddress::Nobody;
    else if (there.size() > 1)
        result.seen = AtNewAddress::Several;
    else {
        result.seen = AtNewAddress::Another;
        result.found = *there[0];
        if (!decision.targetRows.empty())
            result.expected = decision.targetRows[0];
    }
    return result;
}

bool Done(const WaitVerdict& verdict) {
    return verdict.kind != OutcomeKind::Pending;
}

const char* OutcomeName(OutcomeKind kind) {
    switch (kind) {
    case OutcomeKind::Pending: return "";
    case OutcomeKind::Back: return "back";
    case OutcomeKind::Answers: return "answers";
    case OutcomeKind::StillAnswers: return "still-answers";
    case OutcomeKind::Gone: return "gone";
    case OutcomeKind::NotSeen: return "not-seen";
    case OutcomeKind::Interrupted: return "interrupted";
    case OutcomeKind::SendFailed: return "send-failed";
    case OutcomeKind::Sent: return "sent";
    }
    return "";
}

bool EffectSeen(const WaitVerdict& verdict) {
    return verdict.kind == OutcomeKind::Back || verdict.kind == OutcomeKind::Answers ||
           verdict.kind == OutcomeKind::Sent;
}

WaitVerdict JudgeLook(const CommandRequest& request, const Decision& decision, Watch& watch,
                      const std::vector<Reply>& look, double seconds) {
    const std::string target = Text(request.target);
    if (request.kind == CommandKind::Reconfigure) {
        const Verification verification = VerifyReconfigure(decision, request.values.address, look);
        if (verification.seen != AtNewAddress::TheTarget)
            return WaitVerdict{};
        WaitVerdict verdict = Verdict(OutcomeKind::Answers, seconds, Text(request.values.address));
        verdict.verification = verification;
        return verdict;
    }
    bool present = false;
    for (const Reply& row : look)
        present = present || (target == row.address && IsTarget(decision, row));
    if (!watch.goneSeen) {
        watch.goneSeen = !present;
        return WaitVerdict{};
    }
    if (request.kind == CommandKind::Reset)
        return present ? Verdict(OutcomeKind::Back, seconds, target) : WaitVerdict{};
    // Factory defaults: its own address, or one that did not answer before.
    for (const Reply& row : look) {
        if (!IsTarget(decision, row))
            continue;
        bool answeredBefore = false;
        for (const std::string& before : watch.answeredBefore)
            answeredBefore = answeredBefore || before == row.address;
        if (target == row.address || !answeredBefore)
            return Verdict(OutcomeKind::Back, seconds, row.address);
    }
    return WaitVerdict{};
}

WaitVerdict JudgeEnd(const CommandRequest& request, const Decision& decision, const Watch& watch,
                     const std::vector<Reply>& last, double seconds) {
    if (request.kind == CommandKind::Reconfigure) {
        WaitVerdict verdict = Verdict(OutcomeKind::NotSeen, seconds);
        verdict.verification = VerifyReconfigure(decision, request.values.address, last);
        return verdict;
    }
    if (!watch.goneSeen)
        return Verdict(OutcomeKind::StillAnswers, seconds, Text(request.target));
    return Verdict(OutcomeKind::Gone, seconds);
}

}  // namespace scout::ops
