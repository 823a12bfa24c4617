// scout-cli's words for the facts that the decisions and verifications of
// ops/ give, byte for byte as the man page and the operator's guide quote
// them; the interfaces' names from the fake platform (if<index>).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_words.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/rows.h"

namespace scout::cli {
namespace {

using test::If2;
using test::If3;
using test::Row;


CommandRequest Request(CommandKind kind, bool all = false) {
    CommandRequest request;
    request.kind = kind;
    request.target = MakeAddress(192, 168, 1, 100);
    request.values.address = MakeAddress(10, 1, 0, 77);
    request.all = all;
    return request;
}

Refusal Facts(RefusalKind kind, const char* address, Subject subject = Subject::Target) {
    Refusal refusal;
    refusal.kind = kind;
    refusal.subject = subject;
    ParseDottedAddress(address, &refusal.address);
    refusal.where = If2;
    return refusal;
}

Refusal Counted(Refusal refusal, std::size_t count, int prefix = -1) {
    refusal.count = count;
    refusal.prefix = prefix;
    if (refusal.kind == RefusalKind::SeveralInterfaces)
        refusal.interfaces = {If2, If3};
    if (refusal.kind == RefusalKind::CutShort)
        refusal.where = If3;
    return refusal;
}

Refusal Held(Refusal refusal) {
    refusal.mac = {0x02, 0x00, 0x5e, 0x10, 0x00, 0x01};
    return refusal;
}

Refusal Apart(Refusal refusal) {
    refusal.who.who = WhoAnswers::SeveralControllers;
    refusal.who.macs = {{0x02, 0x00, 0x5e, 0x10, 0x00, 0x01}, {0x02, 0x00, 0x5e, 0x10, 0x00, 0x02}};
    refusal.who.framed = refusal.count;
    return refusal;
}

// Every reply's frame from one MAC, with the same texts or with others.
Refusal OneMac(Refusal refusal, bool textsDiffer) {
    refusal.who.who = textsDiffer ? WhoAnswers::SeveralControllers : WhoAnswers::OneMac;
    refusal.who.macs = {{0x02, 0x00, 0x5e, 0x10, 0x00, 0x07}};
    refusal.who.framed = refusal.count;
    refusal.who.textsDiffer = textsDiffer;
    return refusal;
}

// Bound to one interface, and found elsewhere (or not).
Refusal Bound(Refusal refusal, bool elsewhere) {
    refusal.where = If3;
    if (elsewhere)
        refusal.interfaces = {If2};
    return refusal;
}

struct RefusalCase {
    const char* name;
    CommandRequest request;
    Refusal refusal;
    int exitCode;
    const char* says;  // less "; nothing was sent."
};

class RefusalWords : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalWords, ForACommandAndForAPlan) {
    const RefusalCase& c = GetParam();
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    EXPECT_EQ(RefusalExit(c.refusal), c.exitCode);
    EXPECT_EQ(RefusalText(names, c.request, c.refusal), std::string(c.says) + "; nothing was sent.");
    const std::string forPlan = RefusalText(names, c.request, c.refusal, Reader::Plan);
    EXPECT_EQ(forPlan.find("; nothing was sent."), std::string::npos) << "a plan says it once";
    EXPECT_EQ(forPlan.find("--"), std::string::npos) << "a plan names its column, not an option";
}

const CommandKind Reset = CommandKind::Reset;
const CommandKind Reconfigure = CommandKind::Reconfigure;
const Subject NewAddress = Subject::NewAddress;

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusalWords,
    ::testing::Values(
        RefusalCase{"NotFound", Request(Reset), Bound(Facts(RefusalKind::NotFound, "10.1.0.99"), false), ExitNoTarget,
                    "No controller answered at 10.1.0.99 on if3 10.2.0.1"},
        RefusalCase{"NotFoundOnTheInterfaceNamed", Request(Reset), Bound(Facts(RefusalKind::NotFound, "10.1.0.21"), true),
                    ExitNoTarget,
                    "No controller answered at 10.1.0.21 on if3 10.2.0.1; it answers on if2 10.1.0.1 (choose it with "
                    "--interface)"},
        RefusalCase{"ReconfigureOfOneMacTwice", Request(Reconfigure),
                    OneMac(Counted(Facts(RefusalKind::SeveralReplies, "192.168.1.100"), 2), false), ExitNoTarget,
                    "2 replies came from 192.168.1.100 on if2 10.1.0.1, every one from MAC 02:00:5e:10:00:07 with the "
                    "same texts: one controller that answered more than once cannot be told from controllers of one "
                    "batch that share a MAC; each would get the one new address. Power them up one at a time and "
                    "give each its address"},
        RefusalCase{"ResetOfOneMacTwoModels", Request(Reset),
                    OneMac(Counted(Facts(RefusalKind::SeveralReplies, "192.168.1.100"), 2), true), ExitNoTarget,
                    "2 replies came from 192.168.1.100 on if2 10.1.0.1, every one from MAC 02:00:5e:10:00:07, with "
                    "different models, versions or revisions: several controllers share that address; --all sends "
                    "the command to every one of them"},
        RefusalCase{"NewAddressSetByHand", Request(Reconfigure),
                    Held(Facts(RefusalKind::SetByHand, "10.1.0.77", NewAddress)), ExitFailure,
                    "This workstation holds a neighbour entry set by hand for 10.1.0.77 (MAC 02:00:5e:10:00:01) on "
                    "if2 10.1.0.1: what it sends to that address goes to that MAC, not to a controller given it "
                    "(remove the entry if that host is gone)"},
        RefusalCase{"OnTwoInterfaces", Request(Reset), Counted(Facts(RefusalKind::SeveralInterfaces, "10.9.0.5"), 0),
                    ExitNoTarget,
                    "Controllers answer at 10.9.0.5 on 2 interfaces (if2 10.1.0.1, if3 10.2.0.1); choose one with "
                    "--interface"},
        RefusalCase{"ReconfigureOfSeveral", Request(Reconfigure),
                    Counted(Facts(RefusalKind::SeveralReplies, "192.168.1.100"), 3), ExitNoTarget,
                    "3 replies came from 192.168.1.100 on if2 10.1.0.1: several controllers share that address, or "
                    "one answers twice; each would get the one new address. Power them up one at a time and give "
                    "each its address"},
        RefusalCase{"ResetOfSeveral", Request(Reset), Counted(Facts(RefusalKind::SeveralReplies, "192.168.1.100"), 2),
                    ExitNoTarget,
                    "2 replies came from 192.168.1.100 on if2 10.1.0.1: several controllers share that address, or "
                    "one answers twice; --all sends the command to every one of them"},
        RefusalCase{"ReconfigureOfTwoToldApart", Request(Reconfigure),
                    Apart(Counted(Facts(RefusalKind::SeveralReplies, "192.168.1.100"), 3)), ExitNoTarget,
                    "3 replies came from 192.168.1.100 on if2 10.1.0.1: 2 controllers share that address (MAC "
                    "02:00:5e:10:00:01, 02:00:5e:10:00:02); each would get the one new address. Power them up one "
                    "at a time and give each its address"},
        RefusalCase{"NewAddressHeldByAHost", Request(Reconfigure),
                    Held(Facts(RefusalKind::HeldByHost, "10.1.0.77", NewAddress)), ExitFailure,
                    "The IP address 10.1.0.77 is in use by a host that does not answer as a controller (MAC "
                    "02:00:5e:10:00:01) on if2 10.1.0.1"},
        RefusalCase{"NewAddressTaken", Request(Reconfigure),
                    Facts(RefusalKind::NewAddressTaken, "10.1.0.21", NewAddress), ExitFailure,
                    "A controller already answers at 10.1.0.21"},
        RefusalCase{"NewAddressIsTheWorkstations", Request(Reconfigure),
                    Facts(RefusalKind::OwnAddress, "10.1.0.1", NewAddress), ExitFailure,
                    "The new address 10.1.0.1 is an address of this workstation"},
        RefusalCase{"NewAddressIsTheSubnetsNetwork", Request(Reconfigure),
                    Counted(Facts(RefusalKind::SubnetEdge, "10.1.0.0", NewAddress), 0, 24), ExitFailure,
                    "The new address 10.1.0.0 is the network or broadcast address of the subnet of if2 10.1.0.1/24; "
                    "no controller can hold it"},
        RefusalCase{"TargetIsTheWorkstation", Request(Reset), Facts(RefusalKind::OwnAddress, "10.1.0.1"), ExitFailure,
                    "The controller address 10.1.0.1 is an address of this workstation"},
        RefusalCase{"TargetIsTheSubnetsBroadcast", Request(Reset),
                    Counted(Facts(RefusalKind::SubnetEdge, "10.1.0.255"), 0, 24), ExitFailure,
                    "The controller address 10.1.0.255 is the network or broadcast address of the subnet of if2 "
                    "10.1.0.1/24; no controller can hold it"},
        RefusalCase{"AWindowCutShortCouldListIt", Request(Reset), Counted(Facts(RefusalKind::CutShort, "10.1.0.20"), 0),
                    ExitFailure,
                    "the search of if3 10.2.0.1 did not finish (the failure above), and it could list 10.1.0.20"}),
    [](const ::testing::TestParamInfo<RefusalCase>& p) { return p.param.name; });

TEST(NoteWords, WhatGoesWithACommandThatGoes) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    Decision decision;
    decision.send = true;
    decision.via = If2;
    EXPECT_EQ(NoteText(names, Request(Reset), decision), "");
    decision.note = DecisionNote::Unchecked;
    EXPECT_EQ(NoteText(names, Request(Reset), decision),
              "nothing was checked: the command goes without a search (--no-search)");
    decision.note = DecisionNote::SeveralRepliesAll;
    decision.replies = 2;
    EXPECT_EQ(NoteText(names, Request(Reset, true), decision),
              "2 replies came from 192.168.1.100 on if2 10.1.0.1: several controllers share that address, or "
              "one answers twice; with --all, every one of them gets the command.");
    decision.who = OneMac(Counted(Facts(RefusalKind::SeveralReplies, "192.168.1.100"), 2), false).who;
    EXPECT_EQ(NoteText(names, Request(Reset, true), decision),
              "2 replies came from 192.168.1.100 on if2 10.1.0.1, every one from MAC 02:00:5e:10:00:07 with the "
              "same texts: one controller that answered more than once cannot be told from controllers of one "
              "batch that share a MAC; with --all, every one of them gets the command.");
}

TEST(VerificationWords, WhatTheLastLookShowsAtTheNewAddress) {
    const NetAddress at = MakeAddress(10, 1, 0, 77);
    Verification another;
    another.seen = AtNewAddress::Another;
    another.count = 1;
    another.found = Row("10.1.0.77", If2, "KRV-ETH2");
    another.expected = Row("10.1.0.20", If2);
    const struct {
        Verification verification;
        const char* says;
    } cases[] = {
        {Verification{AtNewAddress::TheTarget, 1, 1, {}, {}}, "a controller answers at the new address 10.1.0.77"},
        {Verification{AtNewAddress::Nobody, 0, 0, {}, {}}, "no controller answered at the new address 10.1.0.77"},
        {Verification{AtNewAddress::Several, 2, 1, {}, {}}, "2 controllers answer at the new address 10.1.0.77, not one"},
        {another, "the controller at the new address 10.1.0.77 is a KRV-ETH2 2.14 C, not the KRV-ETH1A2B 2.14 C that "
                  "was sent the command"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VerificationText(at, c.verification), c.says);
}

TEST(FileWords, EachFaultSaysWhatIsWrong) {
    const struct {
        FileError error;
        const char* says;
    } cases[] = {
        {FileError{FileFault::System, ENOSPC, 0, ""}, std::strerror(ENOSPC)},
        {FileError{FileFault::Link, 0, 0, ""}, "it is a symbolic link (scout-cli writes only into a file of its own, never through a link)"},
        {FileError{FileFault::NotRegular, 0, 0, ""}, "it is no regular file"},
        {FileError{FileFault::Folder, 0, 0, ""}, "it is a folder"},
        {FileError{FileFault::OtherOwner, 0, 65534, ""}, "it belongs to another user (uid 65534)"},
        {FileError{FileFault::UnsafeFolder, 0, 0, "/tmp/x\x1b"},
         "its folder /tmp/x\\x1B belongs to another user, or others may write to it"},
        {FileError{FileFault::Missing, 0, 0, ""}, "there is no such file"},
        {FileError{FileFault::Spared, 0, 0, "line4.csv"},
         "it is line4.csv, which this run reads or keeps (the list, the record of changes): never replaced"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileErrorText(c.error), c.says);
    EXPECT_EQ(CannotWriteRecord("/r/c.jsonl", cases[3].error), "cannot write the record of changes /r/c.jsonl: it is a folder");
}

TEST(HostsWords, SaidWhereTheLinkCouldNotSay) {
    test::FakeWorld world;
    const NetPlatform platform = test::MakeFakePlatform(&world);
    InterfaceNames names{&platform, {}};
    const struct {
        NeighbourAnswer answer;
        int code;
        const char* says;  // after "not checked against other hosts: "; "" for nothing
    } cases[] = {
        {NeighbourAnswer::Nobody, 0, ""},
        {NeighbourAnswer::OffLink, 1,
         "10.1.0.77 is outside the subnet of if2 10.1.0.1/24, where only an ARP probe asks, and this process may not "
         "send one (description of 1)"},
        {NeighbourAnswer::OffLink, 0,
         "10.1.0.77 is outside the subnet of if2 10.1.0.1/24, where only an ARP probe asks, and scout-cli sends one "
         "only as root on Linux"},
        {NeighbourAnswer::OlderEntry, 1,
         "this workstation knows 10.1.0.77 from before (MAC 02:00:5e:10:00:01) on if2 10.1.0.1, and its system "
         "asks the link about a known host again only after seconds of use, not within the look; this process may "
         "not send an ARP probe of its own (description of 1)"},
        {NeighbourAnswer::Busy, 1800,
         "the link of if2 10.1.0.1 carried more than this workstation could read while it asked (1800 frames lost), "
         "and an answer for 10.1.0.77 may have been among them"},
        {NeighbourAnswer::SetByHand, 0, ""},
        {NeighbourAnswer::Unsupported, 0, "this system cannot be asked who holds an address on if2 10.1.0.1"},
        {NeighbourAnswer::Failed, 0, "asking the link of if2 10.1.0.1 failed"},
    };
    for (const auto& c : cases) {
        Decision decision;
        decision.hostsChecked = true;
        decision.hosts = HostAnswer{MakeAddress(10, 1, 0, 77), If2, c.answer, {0x02, 0x00, 0x5e, 0x10, 0x00, 0x01},
                                    c.code, 24};
        EXPECT_EQ(HostsText(names, platform, decision),
                  *c.says == '\0' ? std::string() : std::string("not checked against other hosts: ") + c.says);
    }
    Decision unasked;
    EXPECT_EQ(HostsText(names, platform, unasked), "");
}

}  // namespace
}  // namespace scout::cli
