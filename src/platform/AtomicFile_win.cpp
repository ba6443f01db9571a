// The settings file on Windows: written whole beside itself, flushed, then put in place by
// ReplaceFileW, which keeps the old file's attributes and security, or by MoveFileExW for a
// new one. A link (symbolic link or junction) at the name leads the write out of the name's
// own folder only onto a file the caller accepts there.
#include "AtomicFile.h"
#include "TemporaryNames.h"
#include "WindowsFiles.h"
#include "WindowsText.h"

#include <random>
#include <string_view>

namespace fs = std::filesystem;

namespace {

constexpr int kMaxTemporaryNameAttempts = 100;

// The path the system itself gives the open file or folder, "\\?\" left off.
std::optional<std::wstring> finalPath(const Handle& handle)
{
    std::wstring path(32768, L'\0'); // the longest path Windows has
    const DWORD length = handle ? ::GetFinalPathNameByHandleW(handle.get(), path.data(), DWORD(path.size()),
                                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS)
                                : 0;
    if (length == 0 || length >= path.size())
        return std::nullopt;
    path.resize(length);
    if (path.starts_with(L"\\\\?\\UNC\\"))
        return L"\\\\" + path.substr(8);
    return path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
}

// The first `length` letters of both are the same, compared as the file system compares them.
bool sameStart(const std::wstring& a, const std::wstring& b, std::size_t length)
{
    return a.size() >= length && b.size() >= length &&
           ::CompareStringOrdinal(a.data(), int(length), b.data(), int(length), TRUE) == CSTR_EQUAL;
}

// Where a write through `path` (absolute) lands (`file`), and in `failure` why it must not be
// made there; `exists` says whether a file is there to be replaced.
// The name is a link (symbolic link or junction) when the file it opens is not the entry of
// that name in its folder, as the system spells both. Judged by the files themselves, not by
// a link attribute, which not every system reports. Unpacked from an archive or made by
// someone else, a link must not turn a file elsewhere, which the user never meant to touch,
// into a settings file: out of the folder, it leads only onto a file `outside` accepts.
WriteResult whereWritten(const fs::path& path, const OutsideTarget& outside, bool& exists)
{
    const Handle file = openExisting(path, 0);
    exists = file != nullptr;
    if (!file && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        return {path, systemReason(::GetLastError())};
    if (!file && openExisting(path, 0, FILE_FLAG_OPEN_REPARSE_POINT))
        return {path, "it is a link to a file that is not there"};
    if (!file)
        return {path, {}};
    const std::optional<std::wstring> filePath = finalPath(file);
    std::optional<std::wstring> folder = finalPath(openExisting(path.parent_path(), 0));
    if (!filePath || !folder)
        return {path, systemReason(::GetLastError())};
    if (!folder->ends_with(L'\\'))
        *folder += L'\\';
    const std::wstring named = *folder + path.filename().native();
    const bool asNamed = filePath->size() == named.size() && sameStart(*filePath, named, named.size());
    const bool inside = filePath->size() > folder->size() && sameStart(*filePath, *folder, folder->size());
    std::string refusal =
        asNamed || inside ? std::string() : outsideRefusal(*filePath, fromWide(*filePath), outside);
    const std::optional<DWORD> attributes = regularAttributes(file);
    if (refusal.empty() && !attributes)
        refusal = "it is not a regular file";
    // A read-only file has been protected on purpose and is left alone.
    else if (refusal.empty() && (*attributes & FILE_ATTRIBUTE_READONLY))
        refusal = systemReason(ERROR_ACCESS_DENIED);
    return {asNamed ? path : fs::path(*filePath), refusal};
}

// Writes every byte and flushes them to disk: 0, or the system's error. A write to a file on
// a disk takes all of its bytes or fails.
DWORD writeAll(const Handle& file, std::span<const std::uint8_t> bytes)
{
    DWORD written = 0;
    if (!::WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr))
        return ::GetLastError();
    if (written != bytes.size())
        return ERROR_WRITE_FAULT;
    return ::FlushFileBuffers(file.get()) ? 0 : ::GetLastError();
}

// Where no file can be made beside the target (a folder the user may not write) or put in its
// place (another program holds it open), the file itself is rewritten: one write from its
// start, then its end cut there.
DWORD rewriteInPlace(const fs::path& target, std::span<const std::uint8_t> bytes)
{
    const Handle file = openExisting(target, GENERIC_WRITE);
    if (!regularAttributes(file))
        return file ? ERROR_BAD_FILE_TYPE : ::GetLastError();
    const DWORD error = writeAll(file, bytes);
    return error == 0 && !::SetEndOfFile(file.get()) ? ::GetLastError() : error;
}

// The replace beside the file: 0, or the system's error. A replace cut short leaves its
// temporary behind. Each writer holds its temporary open without letting anyone delete it
// until it is closed, just before the replace, so a temporary that can be deleted is one
// nobody is writing: after a replace, every one that can be is. One another save deleted
// between our close and our replace is given up for a fresh one.
DWORD replaceBeside(const fs::path& target, bool exists, std::span<const std::uint8_t> bytes)
{
    const fs::path folder = target.parent_path();
    const std::string name = utf8Path(target.filename());
    std::random_device random;
    for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
        const fs::path temporary =
            folder / pathFromUtf8(temporaryName(name, ::GetCurrentProcessId(), random()));
        Handle file = own(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file && ::GetLastError() == ERROR_FILE_EXISTS)
            continue;
        if (!file)
            return exists && ::GetLastError() == ERROR_ACCESS_DENIED ? rewriteInPlace(target, bytes)
                                                                     : ::GetLastError();
        DWORD error = writeAll(file, bytes);
        if (!::CloseHandle(file.release()) && error == 0)
            error = ::GetLastError();
        if (error == 0 &&
            (exists ? ::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                     REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                                     nullptr)
                    : ::MoveFileExW(temporary.c_str(), target.c_str(),
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))) {
            for (const std::string& leaf : folderNames(folder, [&name](std::string_view leaf) {
                                               return isTemporaryName(leaf, name);
                                           }).value_or(std::vector<std::string>()))
                ::DeleteFileW((folder / pathFromUtf8(leaf)).c_str());
            return 0;
        }
        error = error == 0 ? ::GetLastError() : error;
        const bool takenAway = error == ERROR_FILE_NOT_FOUND &&
                               ::GetFileAttributesW(temporary.c_str()) == INVALID_FILE_ATTRIBUTES;
        if (!takenAway) {
            ::DeleteFileW(temporary.c_str());
            // Another program holds the file open sharing reading and writing but not its
            // deletion, as most do: it cannot be replaced, but it can be rewritten in place.
            if (exists && (error == ERROR_SHARING_VIOLATION || error == ERROR_UNABLE_TO_REMOVE_REPLACED))
                return rewriteInPlace(target, bytes);
            return error;
        }
    }
    return ERROR_FILE_EXISTS;
}

} // namespace

std::optional<std::size_t> readFileStart(const fs::path& path, std::span<std::uint8_t> buffer)
{
    // One read: a file on a disk gives fewer bytes than asked only where it ends.
    const Handle file = openExisting(path, GENERIC_READ);
    DWORD count = 0;
    if (!regularAttributes(file) ||
        !::ReadFile(file.get(), buffer.data(), DWORD(buffer.size()), &count, nullptr))
        return std::nullopt;
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
    bool exists = false;
    const WriteResult target = whereWritten(absolute, outside, exists);
    if (!target)
        return {path, target.failure};
    const DWORD failed = replaceBeside(target.file, exists, bytes);
    if (failed == ERROR_BAD_FILE_TYPE)
        return {path, "it is not a regular file"};
    return {path, failed == 0 ? std::string() : systemReason(failed)};
}
