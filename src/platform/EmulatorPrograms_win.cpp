// Finding an emulator program on Windows: a Windows program runs directly, a DOS program
// through DOSBox for Windows.
#include "AsciiCase.h"
#include "EmulatorPrograms.h"
#include "FileLookup.h"
#include "WindowsFiles.h"
#include "WindowsPrograms.h"
#include "WindowsText.h"

#include <algorithm>
#include <array>
#include <cwchar>
#include <shlobj.h>
#include <windows.h>

namespace fs = std::filesystem;

namespace {

StartRefusal refusal(const std::string& folder, std::string_view name, std::string_view why)
{
    return StartRefusal{cannotStart(folder, name, why)};
}

// Why no regular file of that name is there, from what is there instead.
const char* whyNotFound(const std::string& folder, std::string_view name)
{
    if (const std::optional<fs::path> entry = findEntryIgnoringCase(pathFromUtf8(folder), name)) {
        const DWORD attributes = ::GetFileAttributesW(entry->c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? "it is a folder"
                   : "it is not a regular file";
    }
    return ::GetLastError() == ERROR_ACCESS_DENIED ? "its folder may not be looked into"
                                                   : "there is no such file";
}

// The bytes of the open file at `offset`, at most `buffer`'s size of them.
std::span<const std::uint8_t> readAt(HANDLE file, std::span<std::uint8_t> buffer, std::uint32_t offset)
{
    OVERLAPPED at{};
    at.Offset = offset;
    DWORD got = 0;
    if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, &at))
        got = 0;
    return buffer.first(got);
}

// The kind of the file found, or why it cannot be told. Windows runs only "MZ" files, and a
// Windows program is a program of this machine.
std::variant<ProgramKind, const char*> kindOf(const fs::path& path)
{
    const Handle file = openExisting(path, GENERIC_READ);
    if (!file)
        return ::GetLastError() == ERROR_ACCESS_DENIED ? "it cannot be read" : "there is no such file";
    std::array<std::uint8_t, kProgramHeadSize> headBuffer{};
    std::array<std::uint8_t, 4> signatureBuffer{};
    const std::span<const std::uint8_t> head = readAt(file.get(), headBuffer, 0);
    std::span<const std::uint8_t> signature;
    if (const std::optional<std::uint32_t> offset = newHeaderOffset(head))
        signature = readAt(file.get(), signatureBuffer, *offset);
    const ProgramKind kind = programKind(head, signature, false);
    return kind == ProgramKind::Windows ? ProgramKind::Native : kind;
}

std::optional<fs::path> knownFolder(const KNOWNFOLDERID& id)
{
    wchar_t* path = nullptr;
    std::optional<fs::path> found;
    if (::SHGetKnownFolderPath(id, 0, nullptr, &path) == S_OK)
        found = fs::path(path);
    ::CoTaskMemFree(path);
    return found;
}

std::vector<fs::path> programFolders()
{
    std::vector<fs::path> folders;
    for (const KNOWNFOLDERID* id : {&FOLDERID_ProgramFilesX64, &FOLDERID_ProgramFilesX86})
        if (std::optional<fs::path> folder = knownFolder(*id);
            folder && std::ranges::find(folders, *folder) == folders.end())
            folders.push_back(*folder);
    return folders;
}

} // namespace

ProgramEnvironment ProgramEnvironment::current()
{
    ProgramEnvironment environment;
    wchar_t* const block = ::GetEnvironmentStringsW();
    for (const wchar_t* entry = block; entry && *entry; entry += std::wcslen(entry) + 1) {
        const std::string variable = fromWide(entry);
        environment.variables.append(variable).push_back('\0');
        // Windows spells its variables in any case: "Path" is PATH.
        if (startsWithIgnoringCase(variable, "PATH="))
            environment.path = variable.substr(5);
    }
    ::FreeEnvironmentStringsW(block);
    return environment;
}

// Windows programs and DOSBox keep their settings where Windows says, not in a HOME: they
// run with our environment as it is.
std::vector<std::string> ProgramEnvironment::forProgram(const FoundProgram&) const
{
    std::vector<std::string> result;
    for (std::size_t at = 0; at < variables.size(); at = variables.find('\0', at) + 1)
        result.emplace_back(variables.c_str() + at);
    return result;
}

std::variant<FoundProgram, StartRefusal> findProgram(const std::string& folder, std::string_view name,
                                                     const ProgramEnvironment& environment)
{
    const std::string where = windowsFolder(folder);
    const std::optional<fs::path> file = findFileIgnoringCase(pathFromUtf8(where), name);
    if (!file)
        return refusal(where, name, whyNotFound(where, name));
    FoundProgram found;
    found.program = utf8Path(*file);
    found.folder = where;
    found.name = utf8Path(file->filename());
    const std::variant<ProgramKind, const char*> kind = kindOf(*file);
    if (const auto* why = std::get_if<const char*>(&kind))
        return refusal(where, name, *why);
    found.kind = std::get<ProgramKind>(kind);
    if (found.kind == ProgramKind::Dos) {
        const std::optional<std::string> dosbox = findDosbox(environment.path, programFolders());
        if (!dosbox)
            return refusal(
                where, found.name,
                "it is a DOS program, and DOS programs run through DOSBox for Windows, which is not "
                "installed (install DOSBox 0.74, or put DOSBox.exe on the PATH)");
        found.runner = *dosbox;
        found.system = HostSystem::Windows;
        found.spellings = {found.name};
        // DOSBox keeps the user's own configuration under the user's profile.
        found.home = utf8Path(knownFolder(FOLDERID_Profile).value_or(fs::path()));
    }
    return found;
}

std::optional<std::string> findOnPath(std::string_view name, std::string_view path)
{
    std::size_t begin = 0;
    while (begin <= path.size()) {
        const std::size_t end = std::min(path.find(';', begin), path.size());
        std::string_view entry = path.substr(begin, end - begin);
        if (entry.size() >= 2 && entry.front() == '"' && entry.back() == '"')
            entry = entry.substr(1, entry.size() - 2);
        const fs::path folder = pathFromUtf8(entry);
        if (folder.is_absolute()) {
            const std::string candidate = utf8Path(folder / pathFromUtf8(name));
            if (isExecutableFile(candidate))
                return candidate;
        }
        begin = end + 1;
    }
    return std::nullopt;
}
