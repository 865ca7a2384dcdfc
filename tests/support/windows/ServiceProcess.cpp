#include "tests/support/ServiceProcess.h"

#include <winsock2.h>

#include <stdexcept>

#include "tests/support/windows/CommandLine.h"

namespace nerolin::test {
namespace {

// Wine's name of a Unix path on its drives ("Z:\..."); empty outside Wine.
std::string DosPath(const std::string& unixPath)
{
    using Convert = WCHAR*(CDECL*)(LPCSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    // Through void (*)(): the one function type any other converts to and
    // from without a warning.
    const auto convert =
        kernel != nullptr
            ? reinterpret_cast<Convert>(reinterpret_cast<void (*)()>(GetProcAddress(kernel, "wine_get_dos_file_name")))
            : nullptr;
    if (convert == nullptr) return {};
    WCHAR* dos = convert(unixPath.c_str());
    if (dos == nullptr) return {};
    std::string path;
    try {
        path = Utf8Text(dos);
    } catch (const std::range_error&) {
    }
    HeapFree(GetProcessHeap(), 0, dos);
    return path;
}

// A connected pair of loopback sockets. Wine hands a socket to a Unix child
// as the file descriptor it is, where an anonymous pipe of Windows reaches
// it as nothing: the child reads the test's end closing as the end of its
// input.
bool SocketPair(SOCKET& ours, SOCKET& theirs)
{
    SOCKET listener = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (listener == INVALID_SOCKET) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    bool paired = bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  listen(listener, 1) == 0 &&
                  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (paired) {
        ours = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
        paired = ours != INVALID_SOCKET && connect(ours, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    if (paired) {
        theirs = accept(listener, nullptr, nullptr);
        paired = theirs != INVALID_SOCKET;
    }
    closesocket(listener);
    if (!paired && ours != INVALID_SOCKET) {
        closesocket(ours);
        ours = INVALID_SOCKET;
    }
    return paired;
}

}  // namespace

std::string ServiceProgram() { return DosPath(NEROLIN_DEVSERVICE_PROGRAM); }

const char* ServiceHostName() { return "localhost"; }

std::string PathFromService(const std::string& servicePath)
{
    const std::string dos = DosPath(servicePath);
    return dos.empty() ? servicePath : dos;
}

struct ServiceProcess::Handles {
    bool winsock = false;
    SOCKET input = INVALID_SOCKET;  // the test's end of the service's standard input
    bool started = false;
};

// Only the service's end of the socket and the log are inherited: the
// test's end is not, so no other child keeps the service alive.
ServiceProcess::ServiceProcess(const std::vector<std::string>& arguments, const std::string& logPath)
    : handles_(std::make_unique<Handles>())
{
    Handles& h = *handles_;
    if (arguments.empty()) return;
    WSADATA data;
    h.winsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    SOCKET theirs = INVALID_SOCKET;
    if (!h.winsock || !SocketPair(h.input, theirs)) return;
    SetHandleInformation(reinterpret_cast<HANDLE>(theirs), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE log = CreateFileW(WideText(logPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = reinterpret_cast<HANDLE>(theirs);
        startup.hStdOutput = log;
        startup.hStdError = log;
        std::wstring commandLine =
            CommandLineOf(arguments[0], std::vector<std::string>(arguments.begin() + 1, arguments.end()));
        PROCESS_INFORMATION process{};
        // A Unix program gets no process handle from Wine: there is nothing
        // to wait for or to close.
        h.started = CreateProcessW(WideText(arguments[0]).c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                   nullptr, nullptr, &startup, &process) != 0;
        if (process.hProcess != nullptr) CloseHandle(process.hProcess);
        if (process.hThread != nullptr) CloseHandle(process.hThread);
        CloseHandle(log);
    }
    closesocket(theirs);
}

ServiceProcess::~ServiceProcess()
{
    Handles& h = *handles_;
    if (h.input != INVALID_SOCKET) closesocket(h.input);
    if (h.winsock) WSACleanup();
}

bool ServiceProcess::Started() const { return handles_->started; }

bool ServiceProcess::MayRun() { return handles_->started; }

pid_t ServiceProcess::Pid() const { return -1; }

}  // namespace nerolin::test
