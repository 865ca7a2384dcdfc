// A stand-in handler for the "yendo:" scheme: "--register" registers this
// program through the real registration code; any other call appends its
// first argument, unchanged, as one line to $NEROLIN_TEST_RECORD.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/DesktopEntry.h"

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--register") == 0)
        return nerolin::RegisterUrlScheme(nerolin::ProgramPath()) ? 0 : 1;
    const char* record = std::getenv("NEROLIN_TEST_RECORD");
    if (record == nullptr || argc < 2) return 2;
    std::FILE* file = std::fopen(record, "a");
    if (file == nullptr) return 3;
    std::fprintf(file, "%s\n", argv[1]);
    return std::fclose(file) == 0 ? 0 : 3;
}
