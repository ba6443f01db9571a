// What the Windows halves of the platform share about files: a handle that closes itself, and
// the test of a file on a disk.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <windows.h>

// A file handle closed with its scope; empty where the system gave none.
using Handle = std::unique_ptr<void, decltype(&::CloseHandle)>;

inline Handle own(HANDLE handle)
{
    return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle, &::CloseHandle);
}

// Opens the file or folder at `path`, links followed, letting anyone else read, write or
// delete it meanwhile; `access` 0 asks for nothing but its attributes.
inline Handle openExisting(const std::filesystem::path& path, DWORD access, DWORD flags = 0)
{
    return own(::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// The attributes of a file on a disk; nothing for a folder, a device or a pipe.
inline std::optional<DWORD> regularAttributes(const Handle& file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (file && ::GetFileType(file.get()) == FILE_TYPE_DISK &&
        ::GetFileInformationByHandle(file.get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return info.dwFileAttributes;
    return std::nullopt;
}
