// Files the user names for scout-cli to read (see cli_input.h).
#include "cli/cli_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/cli_audit.h"
#include "cli/cli_interfaces.h"
#include "cli/cli_record.h"
#include "cli/cli_session.h"
#include "cli/cli_words.h"
#include "ops/command.h"
#include "ops/files.h"
#include "ops/text.h"

namespace scout::cli {

namespace {

// What a later version reads under a reserved column's name.
std::string ReservedMeaning(const std::string& header) {
    std::string lower;
    for (const char c : header)
        lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower == "port" ? "the switch port each controller is plugged into"
                           : "whether a row is a controller or another host of the line";
}

}  // namespace

bool ReadDesignList(const char* path, ExpectedList* list, std::string* text) {
    std::string problem;
    if (!ReadInputFile(path, "the expected list", MaxExpectedBytes, text, &problem)) {
        Say(problem);
        return false;
    }
    std::vector<ListFault> faults;
    *list = ReadExpected(*text, &faults);
    for (const ListFault& fault : faults)
        Say(InputName(path) + (fault.line != 0 ? ", " : ": ") + ListFaultText(fault));
    if (!faults.empty())
        return false;
    for (const std::string& reserved : list->reserved)
        Say(InputName(path) + ": the column '" + SafeText(reserved.c_str(), 64) +
            "' is read as your own for now; a later version reads it as " + ReservedMeaning(reserved));
    return true;
}

bool HoldListHere(Session& session, const char* path, ExpectedList& list, const InterfaceTable& table,
                  std::vector<KnownInterface>* known) {
    *known = KnownInterfaces(session, table);
    std::vector<ListFault> faults = ResolveInterfaces(list, *known);
    for (const ListFault& own : OwnAddressFaults(list, OwnAddresses(table)))
        faults.push_back(own);
    for (const ListFault& fault : faults)
        Say(InputName(path) + ", " + ListFaultText(fault));
    return faults.empty();
}

bool ReadInputFile(const char* path, const char* what, std::size_t limit, std::string* text, std::string* problem) {
    const bool standardInput = std::strcmp(path, "-") == 0;
    std::FILE* file = stdin;
    if (!standardInput) {
        if (const FileError error = OpenRegularFile(path, &file); error.fault != FileFault::None) {
            *problem = "cannot read " + std::string(what) + " " + SafeText(path) + ": " +
                       (error.fault == FileFault::Missing ? std::string(std::strerror(ENOENT)) : FileErrorText(error));
            return false;
        }
    }
    char chunk[65536];
    std::size_t got = 0;
    errno = 0;
    while (text->size() <= limit && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text->append(chunk, got);
    const bool failed = std::ferror(file) != 0;
    const int code = errno != 0 ? errno : EIO;
    if (!standardInput)
        std::fclose(file);
    if (failed) {
        *problem = "cannot read " + std::string(what) + " " + SafeText(path) + ": " + std::strerror(code);
        return false;
    }
    return true;
}

std::vector<std::string> SparedFiles(const Options& options, const char* listPath) {
    std::vector<std::string> spared{RecordPath(options)};
    if (listPath != nullptr && std::strcmp(listPath, "-") != 0)
        spared.push_back(listPath);
    return spared;
}

std::string InputName(const char* path) {
    return std::strcmp(path, "-") == 0 ? std::string("standard input") : SafeText(path);
}

}  // namespace scout::cli
