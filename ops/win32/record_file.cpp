// Where the record of changes lives on Windows, and what it says of the time,
// this machine and its user.
#include <windows.h>
#include <bcrypt.h>
#include <shlobj.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ops/record.h"
#include "ops/text.h"

namespace scout::ops {
namespace {

// The C library's code for what Windows said, for the messages' texts.
int ErrnoOf(DWORD error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EACCES;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    default:
        return EIO;
    }
}

FileError Failed(FileFault fault, int code = EIO) {
    FileError error;
    error.fault = fault;
    error.code = code;
    return error;
}

// One write of the whole text at the end of the locked file, after a line
// end where the file does not end in one; undone when it does not reach the
// disk whole.
FileError WriteWhole(HANDLE file, const std::string& text) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file, &size))
        return Failed(FileFault::System, ErrnoOf(::GetLastError()));
    std::string out;
    if (size.QuadPart > 0) {
        LARGE_INTEGER lastByte{};
        lastByte.QuadPart = size.QuadPart - 1;
        char last = '\n';
        DWORD got = 0;
        if (::SetFilePointerEx(file, lastByte, nullptr, FILE_BEGIN) && ::ReadFile(file, &last, 1, &got, nullptr) &&
            got == 1 && last != '\n')
            out = "\n";
    }
    out += text;
    LARGE_INTEGER end{};
    DWORD written = 0;
    int code = 0;
    if (!::SetFilePointerEx(file, end, nullptr, FILE_END) ||
        !::WriteFile(file, out.data(), static_cast<DWORD>(out.size()), &written, nullptr))
        code = ErrnoOf(::GetLastError());
    else if (written != out.size())
        code = ENOSPC;
    else if (!::FlushFileBuffers(file))
        code = ErrnoOf(::GetLastError());
    if (code == 0)
        return FileError{};
    if (::SetFilePointerEx(file, size, nullptr, FILE_BEGIN))
        ::SetEndOfFile(file);
    return Failed(FileFault::System, code);
}

}  // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

FileError AppendRecordText(const std::string& path, const std::string& text) {
    if (!MakeParentFolder(path))
        return Failed(FileFault::System, errno);
    // A link in the record's place leads elsewhere: it is opened as itself and
    // refused. (A folder may well be a reparse point, a mounted volume: the
    // folders of a user's profile are the user's and an administrator's.)
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        const DWORD attributes = ::GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return Failed(FileFault::Folder);
        return Failed(FileFault::System, ErrnoOf(error));
    }
    FileError result;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info))
        result = Failed(FileFault::System, ErrnoOf(::GetLastError()));
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        result = Failed(FileFault::Link);
    else if (::GetFileType(file) != FILE_TYPE_DISK)
        result = Failed(FileFault::NotRegular);
    // Writers take turns on one byte far past any record's end, so that
    // readers of the record are never held up.
    OVERLAPPED turn{};
    turn.Offset = 0xFFFFFFFEu;
    turn.OffsetHigh = 0x7FFFFFFFu;
    const bool locked = result.fault == FileFault::None && ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn);
    if (result.fault == FileFault::None && !locked)
        result = Failed(FileFault::System, ErrnoOf(::GetLastError()));
    if (locked) {
        result = WriteWhole(file, text);
        ::UnlockFileEx(file, 0, 1, 0, &turn);
    }
    ::CloseHandle(file);
    return result;
}

namespace {

// Renames temporary over path. A reader that holds path open without letting
// it be deleted (windows_exporter reading a metrics file, a virus scanner)
// makes the rename fail for as long as it reads: tried again a few times. A
// file replaced keeps its security and attributes (ReplaceFile), as a
// replaced file keeps its mode on Linux.
int ReplaceWith(const std::string& temporary, const std::string& path, bool exists) {
    constexpr int Tries = 10;
    constexpr DWORD PauseMs = 50;
    for (int attempt = 1;; ++attempt) {
        if (exists ? ::ReplaceFileA(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                    nullptr)
                   : ::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH))
            return 0;
        DWORD error = ::GetLastError();
        // Where ReplaceFile cannot take the path at all (Wine refuses a Unix
        // path, ERROR_DIRECTORY), the file is renamed over as it stands.
        if (exists && error == ERROR_DIRECTORY) {
            if (::MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return 0;
            error = ::GetLastError();
        }
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED &&
             error != ERROR_UNABLE_TO_REMOVE_REPLACED && error != ERROR_UNABLE_TO_MOVE_REPLACEMENT) ||
            attempt == Tries)
            return ErrnoOf(error);
        ::Sleep(PauseMs);
    }
}

// The file's identity: its volume and its index there.
bool IdentityOf(HANDLE file, unsigned long long* volume, unsigned long long* index) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file, &info))
        return false;
    *volume = info.dwVolumeSerialNumber;
    *index = static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}

// What stands at the path: nothing, or a regular file that is none of
// spared; a link (a reparse point), a folder, a device ("NUL", "CON") or one
// of spared is refused.
FileError Examine(const std::string& path, const std::vector<std::string>& spared, bool* exists) {
    *exists = false;
    HANDLE file = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? FileError{} : Failed(FileFault::System, ErrnoOf(error));
    }
    *exists = true;
    FileError result;
    BY_HANDLE_FILE_INFORMATION info{};
    unsigned long long volume = 0, index = 0;
    if (::GetFileType(file) != FILE_TYPE_DISK)
        result = Failed(FileFault::NotRegular);
    else if (!::GetFileInformationByHandle(file, &info) || !IdentityOf(file, &volume, &index))
        result = Failed(FileFault::System, ErrnoOf(::GetLastError()));
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        result = Failed(FileFault::Link);
    else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        result = Failed(FileFault::Folder);
    ::CloseHandle(file);
    for (const std::string& other : spared) {
        if (result.fault != FileFault::None)
            break;
        HANDLE read = ::CreateFileA(other.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        unsigned long long otherVolume = 0, otherIndex = 0;
        if (read != INVALID_HANDLE_VALUE && IdentityOf(read, &otherVolume, &otherIndex) && otherVolume == volume &&
            otherIndex == index) {
            result = Failed(FileFault::Spared);
            result.folder = other;
        }
        if (read != INVALID_HANDLE_VALUE)
            ::CloseHandle(read);
    }
    return result;
}

}  // namespace

FileError CheckWholeFile(const std::string& path, const std::vector<std::string>& spared) {
    bool exists = false;
    return Examine(path, spared, &exists);
}

FileError WriteWholeFile(const std::string& path, const std::string& text, const std::vector<std::string>& spared) {
    bool exists = false;
    if (const FileError refused = Examine(path, spared, &exists); refused.fault != FileFault::None)
        return refused;
    const std::string temporary = path + "." + std::to_string(::GetCurrentProcessId()) + ".tmp";
    HANDLE file = ::CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Failed(FileFault::System, ErrnoOf(::GetLastError()));
    DWORD written = 0;
    int code = 0;
    if (!::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        code = ErrnoOf(::GetLastError());
    else if (written != text.size())
        code = ENOSPC;
    else if (!::FlushFileBuffers(file))
        code = ErrnoOf(::GetLastError());
    ::CloseHandle(file);
    // What stands at the path now is what was checked.
    bool existsNow = false;
    FileError refused;
    if (code == 0)
        refused = Examine(path, spared, &existsNow);
    if (code == 0 && refused.fault == FileFault::None)
        code = ReplaceWith(temporary, path, existsNow);
    if (code == 0 && refused.fault == FileFault::None)
        return FileError{};
    ::DeleteFileA(temporary.c_str());
    return refused.fault != FileFault::None ? refused : Failed(FileFault::System, code);
}

bool HoldWholeFile(const std::string& path, unsigned long* holder, FileError* error) {
    *holder = 0;
    *error = FileError{};
    const std::size_t slash = path.find_last_of("\\/");
    const std::string lock = FolderOf(path) + "\\." + (slash == std::string::npos ? path : path.substr(slash + 1)) +
                             ".lock";
    // Kept open until the process ends; others may read who holds it, none may write it meanwhile.
    HANDLE file = ::CreateFileA(lock.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code != ERROR_SHARING_VIOLATION) {
            *error = Failed(FileFault::System, ErrnoOf(code));
            return false;
        }
        HANDLE held = ::CreateFileA(lock.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
        char text[32] = {};
        DWORD got = 0;
        if (held != INVALID_HANDLE_VALUE && ::ReadFile(held, text, sizeof text - 1, &got, nullptr))
            *holder = std::strtoul(text, nullptr, 10);
        if (held != INVALID_HANDLE_VALUE)
            ::CloseHandle(held);
        return false;
    }
    const std::string pid = std::to_string(::GetCurrentProcessId()) + "\r\n";
    DWORD written = 0;
    ::SetEndOfFile(file);
    ::WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
    ::FlushFileBuffers(file);
    return true;
}

bool Sha256Hex(const std::string& bytes, std::string* hex) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0)
        return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32];
    const bool done = ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0 &&
                      ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                       static_cast<ULONG>(bytes.size()), 0) >= 0 &&
                      ::BCryptFinishHash(hash, digest, sizeof digest, 0) >= 0;
    if (hash != nullptr)
        ::BCryptDestroyHash(hash);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    if (done)
        *hex = HexText(digest, sizeof digest);
    return done;
}

FileError OpenRegularFile(const std::string& path, std::FILE** file) {
    *file = nullptr;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return Failed(FileFault::System, ErrnoOf(error));
        // A device ("NUL", "CON") has no attributes to read, and is no file of ours.
        HANDLE device = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        if (device == INVALID_HANDLE_VALUE)
            return Failed(FileFault::Missing, ENOENT);
        ::CloseHandle(device);
        return Failed(FileFault::NotRegular);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Failed(FileFault::Folder);
    HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Failed(FileFault::System, ErrnoOf(::GetLastError()));
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return Failed(FileFault::NotRegular);
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return Failed(FileFault::System, EMFILE);
    }
    *file = ::_fdopen(fd, "rb");
    if (*file == nullptr) {
        ::_close(fd);
        return Failed(FileFault::System, EIO);
    }
    return FileError{};
}

std::string DefaultRecordPath() {
    char folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return "commands.jsonl";
    return std::string(folder) + "\\Ethernet Scout\\commands.jsonl";
}

std::string LocalTimeText() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = ::GetTimeZoneInformation(&zone);
    long bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
    const char sign = bias <= 0 ? '+' : '-';
    if (bias < 0)
        bias = -bias;
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", local.wYear, local.wMonth,
                  local.wDay, local.wHour, local.wMinute, local.wSecond, sign, bias / 60, bias % 60);
    return text;
}

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return ::GetComputerNameA(name, &size) ? name : "";
}

std::string UserName() {
    char name[256] = {};
    DWORD size = sizeof name;
    return ::GetUserNameA(name, &size) ? name : "";
}

bool MakeParentFolder(const std::string& path) {
    for (std::size_t slash = path.find_first_of("\\/", 3); slash != std::string::npos;
         slash = path.find_first_of("\\/", slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (!::CreateDirectoryA(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            errno = EACCES;
            return false;
        }
    }
    errno = 0;
    return true;
}

}  // namespace scout::ops
