/* A Windows program for the tests: appends the command line it received, and each argument
   as the C runtime splits it, to ARGS.TXT beside itself, then ends. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    char* folderEnd = strrchr(path, '\\');
    if (length == 0 || length >= MAX_PATH || !folderEnd || (size_t)(folderEnd - path) + 10 > MAX_PATH)
        return 2;
    strcpy(folderEnd + 1, "ARGS.TXT");
    FILE* out = fopen(path, "ab");
    if (!out)
        return 3;
    fprintf(out, "cmdline=%s\n", GetCommandLineA());
    for (int i = 0; i < argc; ++i)
        fprintf(out, "arg=%s\n", argv[i]);
    fprintf(out, "end\n");
    return fclose(out) == 0 ? 0 : 4;
}
