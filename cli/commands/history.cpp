// scout-cli history: the record of changes as a table (newest last), CSV or
// JSON; a line that is no record is named and skipped. No record at the
// default place is no history yet; a file named by --log must be there.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_record.h"
#include "cli/cli_words.h"
#include "cli/commands/commands.h"
#include "ops/files.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

constexpr OptionUse CommandOptions[] = {
    {OptionId::Log, "the record to read (default ~/.local/state/ethernet-scout/\ncommands.jsonl; Windows: "
                    "%LOCALAPPDATA%\\Ethernet Scout\\...)"},
    {OptionId::Json}, {OptionId::Csv}, {OptionId::NoHeader}, {OptionId::Quiet},
};

void PrintPiece(void*, const std::string& text) {
    Print(text);
}

void SaySkipped(void* path, const std::string& why) {
    Say(SafeText(static_cast<const std::string*>(path)->c_str()) + ", " + why + "; skipped");
}

}  // namespace

const CommandHelp HistoryHelp = {
    .usage = "scout-cli history [--log FILE] [--json|--csv] [--no-header]",
    .about = "the record of every command sent (and refused), newest last",
    .options = CommandOptions,
    .examples = "scout-cli history --csv > handover.csv",
};

int RunHistory(Session& session) {
    const bool named = session.options.logPath != nullptr;
    const std::string path = RecordPath(session.options);
    std::FILE* file = nullptr;
    const FileError error = OpenRegularFile(path, &file);
    if (error.fault == FileFault::Missing && !named) {
        Print(EmptyHistory(session.options.format, session.render));
        return ExitOk;
    }
    if (error.fault != FileFault::None) {
        Say("cannot read the record of changes " + SafeText(path.c_str()) + ": " + FileErrorText(error));
        return ExitFailure;
    }
    std::string shown = path;
    const HistoryOutput out{&shown, PrintPiece, SaySkipped};
    int code = 0;
    const bool read = StreamHistory(file, session.options.format, session.render, out, &code);
    std::fclose(file);
    if (!read) {
        Say("cannot read the record of changes " + SafeText(path.c_str()) + ": " + std::strerror(code));
        return ExitFailure;
    }
    return ExitOk;
}

}  // namespace scout::cli
