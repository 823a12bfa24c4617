// The files this program reads and writes on Windows (see ops/files.h).
#include "ops/files.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdlib>

#include "ops/win32/file_checks.h"

namespace scout::ops {

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

FileError Failed(FileFault fault, int code) {
    FileError error;
    error.fault = fault;
    error.code = code;
    return error;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
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

}  // namespace scout::ops
