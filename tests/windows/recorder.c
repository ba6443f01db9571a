/* A stand-in emulator for the Windows tests, as neorage.exe and as DOSBox.exe: appends its
   working folder, the command line it received, the show command it was given and each
   argument as the C runtime splits it, all as UTF-8, to ARGS.TXT beside itself, then ends. */
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

static void put(FILE* out, const char* label, const wchar_t* text)
{
    char utf8[4 * MAX_PATH * 4];
    if (!WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL))
        utf8[0] = '\0';
    fprintf(out, "%s=%s\n", label, utf8);
}

int wmain(int argc, wchar_t** argv)
{
    wchar_t path[MAX_PATH];
    wchar_t folder[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    wchar_t* folderEnd = wcsrchr(path, L'\\');
    if (length == 0 || length >= MAX_PATH || !folderEnd || (size_t)(folderEnd - path) + 10 > MAX_PATH)
        return 2;
    wcscpy(folderEnd + 1, L"ARGS.TXT");
    FILE* out = _wfopen(path, L"ab");
    if (!out)
        return 3;
    if (!GetCurrentDirectoryW(MAX_PATH, folder))
        folder[0] = L'\0';
    put(out, "folder", folder);
    put(out, "cmdline", GetCommandLineW());
    STARTUPINFOW startup;
    GetStartupInfoW(&startup);
    fprintf(out, "show=%d\n", (startup.dwFlags & STARTF_USESHOWWINDOW) ? (int)startup.wShowWindow : -1);
    for (int i = 0; i < argc; ++i)
        put(out, "arg", argv[i]);
    fprintf(out, "end\n");
    return fclose(out) == 0 ? 0 : 4;
}
