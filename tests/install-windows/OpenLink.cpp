// open-link LINK: the browser's part in the installer's tests. The link goes
// to the system's shell as a browser hands over a link of a scheme it does
// not know itself; the shell starts the program HKEY_CLASSES_ROOT names for
// the scheme.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>

int main()
{
    int count = 0;
    // The link as the process received it, in UTF-16.
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 2) {
        std::fprintf(stderr, "usage: open-link LINK\n");
        return 2;
    }
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", arguments[1], nullptr, nullptr, SW_SHOWNORMAL));
    LocalFree(arguments);
    if (result <= 32) {
        std::fprintf(stderr, "ShellExecuteW failed: %d\n", static_cast<int>(result));
        return 1;
    }
    return 0;
}
