// Where the record of changes lives on Windows, and how a line is appended.
#include <windows.h>
#include <shlobj.h>

#include <cerrno>

#include "ops/record.h"
#include "ops/win32/file_checks.h"

namespace scout::ops {
namespace {

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

std::string DefaultRecordPath() {
    char folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return "commands.jsonl";
    return std::string(folder) + "\\Ethernet Scout\\commands.jsonl";
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

}  // namespace scout::ops
