// Whether a command did what was asked, judged from the looks after it: the
// rule of verification both front ends could follow. A reset: the target
// went away and came back. Factory defaults: it went away, and a controller
// with its model, version and revision answers at its address or at one that
// did not answer before. A reconfigure: exactly that controller answers at
// the new address on the interface it was sent by. The verdicts are facts;
// each front end words them.
#pragma once

#include <string>
#include <vector>

#include "ops/command.h"

namespace scout::ops {

// What the looks after a command have seen so far.
struct Watch {
    bool goneSeen = false;                    // the target did not answer in a look
    std::vector<std::string> answeredBefore;  // the addresses on its interface before the command
};

// What a reconfigure's last look shows at the new address.
enum class AtNewAddress {
    TheTarget,  // exactly the controller that was sent the command
    Nobody,
    Several,    // count controllers
    Another,    // one, with other texts: found, not expected
};
struct Verification {
    AtNewAddress seen = AtNewAddress::Nobody;
    std::size_t count = 0;  // controllers at the new address
    int answering = 0;      // of them, with the target's texts
    Reply found;            // Another: the one there
    Reply expected;         // Another: the target as it was seen before
};
Verification VerifyReconfigure(const Decision& decision, NetAddress newAddress, const std::vector<Reply>& after);

enum class OutcomeKind {
    Pending,       // not judged yet
    Back,          // a reset: back; factory defaults: answers at answersAt
    Answers,       // a reconfigure: the target answers at its new address
    StillAnswers,  // it never went away
    Gone,          // it went away and did not come back
    NotSeen,       // a reconfigure: not exactly it at the new address (verification says what)
    Interrupted,   // the wait was interrupted (by signal, as interruptedBy)
    SendFailed,    // it could not be sent
    Sent,          // sent, and not awaited
};

struct WaitVerdict {
    OutcomeKind kind = OutcomeKind::Pending;
    double seconds = 0;        // after the send, when it was judged
    std::string answersAt;     // where the target answers now, as far as it was seen ("": nowhere)
    Verification verification;  // a reconfigure judged by a look: what it showed at the new address
    int interruptedBy = 0;     // Interrupted: the exit status the interrupt stands for (130, 143)
    bool repliesLost = false;  // replies were lost during the wait, the controller's may be among them
};

bool Done(const WaitVerdict& verdict);
// The verdict's outcome as the record and every output name it: "back",
// "answers", "still-answers", "gone", "not-seen", "interrupted",
// "send-failed", "sent".
const char* OutcomeName(OutcomeKind kind);
// Whether the effect was seen (or nothing was to be awaited).
bool EffectSeen(const WaitVerdict& verdict);

// One look's rows (the target's interface), seconds after the send.
WaitVerdict JudgeLook(const CommandRequest& request, const Decision& decision, Watch& watch,
                      const std::vector<Reply>& look, double seconds);
// The wait's time is up; last is the last look's rows.
WaitVerdict JudgeEnd(const CommandRequest& request, const Decision& decision, const Watch& watch,
                     const std::vector<Reply>& last, double seconds);

}  // namespace scout::ops
