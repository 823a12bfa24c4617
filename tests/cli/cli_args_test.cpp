// scout-cli's command line: what is accepted, and the one line that names the
// problem with what is not. Parsing only: nothing here can send.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_help.h"
#include "cli/cli_main.h"

namespace scout::cli {
namespace {

struct ArgsCase {
    std::vector<std::string> words;
    std::string problem;  // empty: accepted
};

void PrintTo(const ArgsCase& c, std::ostream* out) {
    for (const std::string& w : c.words)
        *out << '[' << (w.size() > 40 ? w.substr(0, 40) + "..." : w) << ']';
}

class Arguments : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(Arguments, AcceptedOrNamed) {
    std::vector<std::string> words = {"scout-cli"};
    words.insert(words.end(), GetParam().words.begin(), GetParam().words.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    Options options;
    std::string problem;
    const bool ok = ParseArguments(static_cast<int>(argv.size()), argv.data(), CommandTable(), &options, &problem);
    if (GetParam().problem.empty())
        EXPECT_TRUE(ok) << problem;
    else
        EXPECT_EQ(problem, GetParam().problem);
    EXPECT_EQ(ok, GetParam().problem.empty());
}

const std::string Huge(100000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, Arguments,
    ::testing::Values(
        ArgsCase{{"search"}, ""}, ArgsCase{{"search", "--json"}, ""},
        ArgsCase{{"search", "--interface=eth0"}, ""}, ArgsCase{{"--csv", "interfaces"}, ""},
        ArgsCase{{"reconfigure", "10.1.0.20", "10.1.0.77", "255.255.255.0", "0.0.0.0", "--dry-run"}, ""},
        ArgsCase{{"reset", "--", "10.1.0.20"}, ""}, ArgsCase{{"-h"}, ""}, ArgsCase{{"-V"}, ""},
        ArgsCase{{"reset", "--help"}, ""}, ArgsCase{{"search", "--window", "5000"}, ""},
        ArgsCase{{"watch", "--window", "5000", "--interval", "5"}, ""},
        ArgsCase{{"watch", "--interval", "1.5"}, ""}, ArgsCase{{"reset", "10.1.0.20", "--timeout", "2.25"}, ""},
        ArgsCase{{"apply", "plan.csv", "--factory", "10.1.0.100"}, ""},
        ArgsCase{{"reset", "10.1.0.20", "--timeout", "0.5"}, "--timeout takes seconds from 1 to 3600, not '0.5'"},
        ArgsCase{{"reset", "10.1.0.20", "--timeout", "1,5"}, "--timeout takes seconds from 1 to 3600, not '1,5'"},
        ArgsCase{{"watch", "--interval", "1.0"}, "--interval must be at least the window (1010 ms)"},
        ArgsCase{{"watch", "--interval", "0.9", "--window", "500"}, "--interval takes seconds from 1 to 3600, not '0.9'"},
        ArgsCase{{"reset", "10.1.0.20", "--factory", "10.1.0.100"}, "--factory is not an option of reset"},
        ArgsCase{{}, "no command given (search, interfaces, reset, factory-defaults, reconfigure, apply, watch, commission, "
                 "audit, doctor or history)"},
        ArgsCase{{"help"}, ""}, ArgsCase{{"help", "watch"}, ""}, ArgsCase{{"help", "serch"}, "unknown command 'serch'"},
        ArgsCase{{"help", "watch", "audit"}, "help takes one command, not 'audit' too"},
        ArgsCase{{"help", "help"}, ""}, ArgsCase{{"help", "help", "watch"}, "help takes one command, not 'watch' too"},
        ArgsCase{{"help", "watch", "help"}, "help takes one command, not 'help' too"},
        ArgsCase{{"reconfigure", "10.1.0.20", "10.1.0.77", "255.255.255.0", "0.0.0.0", "--all"},
                 "--all is not an option of reconfigure (every controller there would get the one new address)"},
        ArgsCase{{""}, "unknown command ''"},
        ArgsCase{{"serch"}, "unknown command 'serch'"},
        ArgsCase{{"search", "--bogus"}, "unknown option '--bogus'"},
        ArgsCase{{"search", "-x"}, "unknown option '-x'"},
        ArgsCase{{"search", "--json", "--json"}, "--json given twice"},
        ArgsCase{{"search", "--json", "--csv"}, "--json and --csv exclude each other"},
        ArgsCase{{"search", "--json=1"}, "--json takes no value"},
        ArgsCase{{"search", "--interface"}, "--interface needs a value"},
        ArgsCase{{"search", "--interface="}, "--interface needs a value"},
        ArgsCase{{"search", "--interface", "a", "--interface", "b"}, "--interface given twice"},
        ArgsCase{{"reset", "10.1.0.20", "--interface", "a", "--interface", "a"}, "--interface given twice"},
        ArgsCase{{"watch", "--interface", "a", "--interface", "b", "--metrics", "m.prom"}, ""},
        ArgsCase{{"watch", "--metrics"}, "--metrics needs a value"},
        ArgsCase{{"watch", "--metrics", "a", "--metrics=b"}, "--metrics given twice"},
        ArgsCase{{"search", "--metrics", "m.prom"}, "--metrics is not an option of search"},
        ArgsCase{{"watch", "--interface", "1", "--interface", "2", "--interface", "3", "--interface", "4",
                  "--interface", "5", "--interface", "6", "--interface", "7", "--interface", "8", "--interface", "9",
                  "--interface", "10", "--interface", "11", "--interface", "12", "--interface", "13",
                  "--interface", "14", "--interface", "15", "--interface", "16", "--interface", "17"},
                 "--interface given more than 16 times"},
        ArgsCase{{"search", "10.1.0.20"}, "search takes no operand, not '10.1.0.20'"},
        ArgsCase{{"search", "--no-wait"}, "--no-wait is not an option of search"},
        ArgsCase{{"interfaces", "--interface", "eth0"}, "--interface is not an option of interfaces"},
        ArgsCase{{"apply", "plan.csv", "--interface", "eth0"}, "--interface is not an option of apply"},
        ArgsCase{{"apply"}, "apply needs PLAN (a CSV file, or - for standard input)"},
        ArgsCase{{"commission", "--first", "10.1.0.101", "--mask", "255.255.255.0"},
                 "commission needs --first IP, --mask MASK and --gateway GW, or --expect LIST"},
        ArgsCase{{"commission", "--expect", "line.csv", "--last", "10.1.0.120"},
                 "--expect gives each controller its row's address: --last does not go with it"},
        ArgsCase{{"commission", "--first", "10.1.0.101", "--mask", "255.255.255.0", "--gateway", "0.0.0.0",
                  "--count", "0"},
                 "--count takes a number from 1 to 10000, not '0'"},
        ArgsCase{{"watch", "--interval", "1"}, "--interval must be at least the window (1010 ms)"},
        ArgsCase{{"watch", "--readdress-replacements"},
                 "--readdress-replacements needs --expect LIST (the rows whose addresses it gives)"},
        ArgsCase{{"watch", "--expect", "l.csv", "--readdress-replacements=yes"},
                 "--readdress-replacements takes =propose or nothing, not 'yes'"},
        ArgsCase{{"watch", "--expect", "l.csv", "--readdress-replacements="},
                 "--readdress-replacements needs a value after '='"},
        ArgsCase{{"watch", "--expect", "l.csv", "--readdress-replacements", "--no-log"},
                 "--no-log is not an option of watch"},
        ArgsCase{{"watch", "--interval", "\x1b[2J"}, "--interval takes seconds from 1 to 3600, not '\\x1B[2J'"},
        ArgsCase{{"watch", "--first", "10.1.0.101"}, "--first is not an option of watch"},
        ArgsCase{{"reset"}, "reset needs ADDRESS"},
        ArgsCase{{"reset", "10.1.0.20", "10.1.0.21"}, "reset takes one ADDRESS, not '10.1.0.21' too"},
        ArgsCase{{"apply", "a.csv", "b.csv"},
                 "apply takes one PLAN (a CSV file, or - for standard input), not 'b.csv' too"},
        ArgsCase{{"factory-defaults"}, "factory-defaults needs ADDRESS"},
        ArgsCase{{"reconfigure", "10.1.0.20", "10.1.0.77"}, "reconfigure needs ADDRESS IP MASK GATEWAY"},
        ArgsCase{{"reconfigure", "1", "2", "3", "4", "5"}, "reconfigure takes ADDRESS IP MASK GATEWAY, not '5' too"},
        ArgsCase{{"search", "--\x1b[31mred"}, "unknown option '--\\x1B[31mred'"},
        ArgsCase{{"search", "--a\nb"}, "unknown option '--a\\x0Ab'"},
        ArgsCase{{"search", "--" + Huge}, "unknown option '--" + std::string(62, 'x') + "...'"}));

// Each command's help is its own: its usage, every option it takes (and no
// other), its example; the help of all lists every command and option.
TEST(Help, EachCommandsOwnFromTheTableOfItsOptions) {
    const std::string all = GeneralHelp(CommandTable());
    for (const CommandEntry& command : CommandTable()) {
        const std::string name = command.name;
        EXPECT_NE(all.find("\n  " + name), std::string::npos) << name << " in the help of all";
        const std::string own = CommandHelpText(command);
        EXPECT_EQ(own.compare(0, 17 + name.size(), "usage: scout-cli " + name), 0) << own;
        EXPECT_NE(own.find("\n  scout-cli " + name), std::string::npos) << name << ": an example";
        for (int id = 0; id <= static_cast<int>(OptionId::Metrics); ++id) {
            const OptionId option = static_cast<OptionId>(id);
            bool takes = option == OptionId::Help;
            for (const OptionUse& use : command.help->options)
                takes = takes || use.id == option;
            const std::string label = "\n  " + OptionLabel(option) + " ";
            EXPECT_EQ(own.find(label) != std::string::npos || own.find("\n  " + OptionLabel(option) + "\n") != std::string::npos,
                      takes)
                << name << ": " << OptionLabel(option);
            EXPECT_NE(all.find("\n  " + OptionLabel(option)), std::string::npos) << OptionLabel(option);
        }
        for (const char* line = own.c_str(); *line != '\0';) {
            const char* end = std::strchr(line, '\n');
            EXPECT_LE(end - line, 100) << name << ": " << std::string(line, end);
            line = end + 1;
        }
    }
}

TEST(ParseSeconds, DecimalSecondsAsPeopleTypeThemBoundedAsBefore) {
    const struct {
        const char* text;
        std::uint32_t ms;  // 0: refused
    } cases[] = {
        {"1", 1000}, {"1.5", 1500}, {"2.25", 2250}, {"0.125", 0}, {"3600", 3600000}, {"3600.001", 0},
        {"1.", 0},   {".5", 0},     {"1.0001", 0},  {"1e3", 0},   {"-1", 0},         {" 1", 0},
        {"", 0},     {"99999", 0},  {"1.5s", 0},    {"1,5", 0},   {"0001.500", 1500},
    };
    for (const auto& c : cases) {
        std::uint32_t ms = 0;
        EXPECT_EQ(ParseSeconds(c.text, 1, 3600, &ms), c.ms != 0) << c.text;
        if (c.ms != 0) {
            EXPECT_EQ(ms, c.ms) << c.text;
        }
    }
}

TEST(QuoteOperand, ControlCharactersEscapedUtf8KeptLongTextsCut) {
    EXPECT_EQ(QuoteOperand("10.1.0.20"), "10.1.0.20");
    EXPECT_EQ(QuoteOperand("a\tb\x7F\x01"), "a\\x09b\\x7F\\x01");
    EXPECT_EQ(QuoteOperand("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(QuoteOperand("\xC2\x9B" "2J\xFF"), "\\xC2\\x9B2J\\xFF") << "C1 controls and stray bytes escaped";
    EXPECT_EQ(QuoteOperand(std::string(65, 'y').c_str()), std::string(64, 'y') + "...");
    EXPECT_EQ(QuoteOperand(std::string(64, 'y').c_str()), std::string(64, 'y'));
    EXPECT_EQ(QuoteOperand("a\xE2\x80\xAE" "b\xE2\x81\xA6" "c\xE2\x80\xAF"), "a\\u202Eb\\u2066c\xE2\x80\xAF")
        << "the reordering controls escaped, a narrow no-break space next to them kept";
}

}  // namespace
}  // namespace scout::cli
