// The settings file on Windows: written whole beside itself, flushed, then put in place by
// ReplaceFileW, which keeps the old file's attributes and security, or by MoveFileExW for a
// new one. A link (symbolic link or junction) at the name leads the write out of the name's
// own folder only onto a file the caller accepts there.
#include "AtomicFile.h"
#include "FileLookup.h"
#include "TemporaryNames.h"
#include "WindowsText.h"

#include <array>
#include <random>
#include <string_view>
#include <utility>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

constexpr int kMaxTemporaryNameAttempts = 100;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A file handle closed with its scope.
class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle()
    {
        if (*this)
            ::CloseHandle(m_handle);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    explicit operator bool() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    // Closes now; the system's error when the close failed, else 0.
    DWORD close()
    {
        const bool closed = ::CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE));
        return closed ? 0 : ::GetLastError();
    }

private:
    HANDLE m_handle;
};

Handle openExisting(const fs::path& path, DWORD access, DWORD flags = 0)
{
    return Handle(::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// A file on a disk, neither a folder nor a device or pipe.
bool isRegular(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The path the system itself gives the open file or folder, "\\?\" left off.
std::optional<std::wstring> finalPath(HANDLE handle)
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return std::nullopt;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length);
    }
    if (path.starts_with(L"\\\\?\\UNC\\"))
        return L"\\\\" + path.substr(8);
    if (path.starts_with(L"\\\\?\\"))
        return path.substr(4);
    return path;
}

// `inner` is `outer` or lies below it, letters compared as the file system compares them.
bool isWithin(const std::wstring& inner, const std::wstring& outer)
{
    std::wstring prefix = outer;
    if (!prefix.ends_with(L'\\'))
        prefix += L'\\';
    return inner.size() > prefix.size() &&
           ::CompareStringOrdinal(inner.data(), static_cast<int>(prefix.size()), prefix.data(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

// Where a write through `path` (absolute) lands, or why it must not be made.
struct Target {
    fs::path path;
    std::string refusal;
};

// The first bytes of the open file, as `outside` judges them.
bool acceptedOutside(HANDLE file, const OutsideTarget& outside)
{
    if (!outside.accepts)
        return false;
    const Handle reading(::ReOpenFile(file, GENERIC_READ, kShareAll, 0));
    std::array<std::uint8_t, kOutsideTargetProbe> start{};
    DWORD count = 0;
    return reading && isRegular(reading.get()) &&
           ::ReadFile(reading.get(), start.data(), static_cast<DWORD>(start.size()), &count, nullptr) &&
           outside.accepts(std::span<const std::uint8_t>(start.data(), count));
}

bool sameName(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

// The name is a link (symbolic link or junction) when the file it opens is not the entry of
// that name in its folder, as the system spells both. Judged by the files themselves, not by
// a link attribute, which not every system reports.
Target whereWritten(const fs::path& path, const OutsideTarget& outside)
{
    const Handle file = openExisting(path, 0);
    if (!file) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            return {path, systemReason(error)};
        if (openExisting(path, 0, FILE_FLAG_OPEN_REPARSE_POINT))
            return {path, "it is a link to a file that is not there"};
        return {path, {}};
    }
    const Handle folder = openExisting(path.parent_path(), 0);
    const std::optional<std::wstring> filePath = finalPath(file.get());
    const std::optional<std::wstring> folderPath = folder ? finalPath(folder.get()) : std::nullopt;
    if (!filePath || !folderPath)
        return {path, systemReason(::GetLastError())};
    if (sameName(*filePath, (fs::path(*folderPath) / path.filename()).native()))
        return {path, {}};
    // Unpacked from an archive or made by someone else, a link must not turn a file
    // elsewhere, which the user never meant to touch, into a settings file: out of the
    // folder, it leads only onto a file `outside` accepts.
    if (!isWithin(*filePath, *folderPath) && !acceptedOutside(file.get(), outside)) {
        std::string refusal = "it is a link to \"" + fromWide(*filePath) + "\", outside its folder";
        if (!outside.kind.empty())
            refusal.append(", and that is not ").append(outside.kind);
        return {path, refusal};
    }
    return {fs::path(*filePath), {}};
}

DWORD writeAll(HANDLE file, std::span<const std::uint8_t> bytes)
{
    std::size_t count = 0;
    while (count < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + count, static_cast<DWORD>(bytes.size() - count), &written,
                         nullptr))
            return ::GetLastError();
        if (written == 0)
            return ERROR_WRITE_FAULT;
        count += written;
    }
    return ::FlushFileBuffers(file) ? 0 : ::GetLastError();
}

// A replace cut short leaves its temporary behind. Each writer holds its temporary open
// without letting anyone delete it until its replace is over, so a temporary that can be
// deleted is one nobody is writing.
void removeAbandonedTemporaries(const fs::path& target)
{
    const std::string prefix = temporaryPrefix(utf8Path(target.filename()));
    const std::optional<std::vector<std::string>> names = folderNames(
        target.parent_path(), [&prefix](std::string_view leaf) { return isTemporaryName(leaf, prefix); });
    for (const std::string& leaf : names.value_or(std::vector<std::string>()))
        ::DeleteFileW((target.parent_path() / pathFromUtf8(leaf)).c_str());
}

// Where no file can be made beside the target (a folder the user may not write), the file
// itself is rewritten: one write from its start, then its end cut there.
DWORD rewriteInPlace(const fs::path& target, std::span<const std::uint8_t> bytes)
{
    const Handle file = openExisting(target, GENERIC_WRITE);
    if (!file)
        return ::GetLastError();
    if (!isRegular(file.get()))
        return ERROR_BAD_FILE_TYPE;
    DWORD error = writeAll(file.get(), bytes);
    if (error == 0 && !::SetEndOfFile(file.get()))
        error = ::GetLastError();
    return error;
}

// One try: 0, the system's error, or nothing when another save took our temporary for an
// abandoned one between our close and the replace.
std::optional<DWORD> tryReplace(const fs::path& target, bool exists, std::span<const std::uint8_t> bytes)
{
    std::random_device random;
    fs::path temporary;
    HANDLE created = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts && created == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = target.parent_path() / pathFromUtf8(temporaryName(utf8Path(target.filename()),
                                                                      ::GetCurrentProcessId(), random()));
        // Shared with no one: no other save can take it for abandoned while it is written.
        created = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        if (created == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    Handle file(created);
    if (!file) {
        const DWORD error = ::GetLastError();
        return exists && error == ERROR_ACCESS_DENIED ? rewriteInPlace(target, bytes) : error;
    }
    DWORD error = writeAll(file.get(), bytes);
    if (const DWORD closed = file.close(); error == 0)
        error = closed;
    if (error == 0) {
        const bool replaced =
            exists ? ::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                    REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                                    nullptr)
                   : ::MoveFileExW(temporary.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        error = replaced ? 0 : ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND &&
            ::GetFileAttributesW(temporary.c_str()) == INVALID_FILE_ATTRIBUTES)
            return std::nullopt;
    }
    if (error != 0)
        ::DeleteFileW(temporary.c_str());
    return error;
}

DWORD replaceAt(const fs::path& target, std::span<const std::uint8_t> bytes)
{
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return ::GetLastError();
    if (exists) {
        const Handle file = openExisting(target, 0);
        if (!file || !isRegular(file.get()))
            return ERROR_BAD_FILE_TYPE;
        // A read-only file has been protected on purpose and is left alone.
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return ERROR_ACCESS_DENIED;
    }
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        if (const std::optional<DWORD> error = tryReplace(target, exists, bytes)) {
            if (*error == 0)
                removeAbandonedTemporaries(target);
            return *error;
        }
    }
    return ERROR_FILE_EXISTS;
}

} // namespace

std::optional<std::size_t> readFileStart(const fs::path& path, std::span<std::uint8_t> buffer)
{
    const Handle file = openExisting(path, GENERIC_READ);
    if (!file || !isRegular(file.get()))
        return std::nullopt;
    std::size_t count = 0;
    while (count < buffer.size()) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer.data() + count, static_cast<DWORD>(buffer.size() - count), &got,
                        nullptr))
            return std::nullopt;
        if (got == 0)
            break;
        count += got;
    }
    return count;
}

WriteResult replaceFileAtomically(const fs::path& path, std::span<const std::uint8_t> bytes,
                                  const OutsideTarget& outside)
{
    // ReplaceFileW takes absolute paths only.
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error)
        return {path, systemReason(static_cast<unsigned long>(error.value()))};
    const Target target = whereWritten(absolute, outside);
    if (!target.refusal.empty())
        return {path, target.refusal};
    const DWORD failed = replaceAt(target.path, bytes);
    if (failed == ERROR_BAD_FILE_TYPE)
        return {path, "it is not a regular file"};
    return {path, failed == 0 ? std::string() : systemReason(failed)};
}
