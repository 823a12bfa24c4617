// Files the user names for scout-cli to read (see cli_input.h).
#include "cli/cli_input.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/cli_record.h"
#include "cli/cli_words.h"
#include "ops/files.h"
#include "ops/text.h"

namespace scout::cli {

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
