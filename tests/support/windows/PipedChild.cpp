#include "tests/support/PipedChild.h"

#include <windows.h>

#include <algorithm>

#include "tests/support/windows/CommandLine.h"

namespace nerolin::test {
namespace {

void CloseIfOpen(HANDLE& handle)
{
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
}

}  // namespace

struct PipedChild::Handles {
    HANDLE process = nullptr;
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    bool finished = false;
    int status = -1;
};

// The child's ends of the pipes are the only handles it inherits: the
// test's own ends are not inheritable, and the child's ends of an earlier
// child are closed here before the next one starts.
PipedChild::PipedChild(const std::string& program, const std::vector<std::string>& arguments, ReadStream read)
    : handles_(std::make_unique<Handles>())
{
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE childOutput = nullptr;
    if (!CreatePipe(&childInput, &handles_->input, &inheritable, 0)) return;
    if (!CreatePipe(&handles_->output, &childOutput, &inheritable, 0)) {
        CloseIfOpen(childInput);
        return;
    }
    SetHandleInformation(handles_->input, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(handles_->output, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = CommandLineOf(program, arguments);

    HANDLE discarded = nullptr;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    if (read == ReadStream::Output) {
        startup.hStdOutput = childOutput;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    } else {
        discarded = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                                0, nullptr);
        if (discarded == INVALID_HANDLE_VALUE) discarded = nullptr;
        startup.hStdOutput = discarded;
        startup.hStdError = childOutput;
    }
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        handles_->process = process.hProcess;
    }
    CloseIfOpen(childInput);
    CloseIfOpen(childOutput);
    CloseIfOpen(discarded);
}

PipedChild::~PipedChild()
{
    if (handles_) Finish();
}

PipedChild::PipedChild(PipedChild&&) noexcept = default;
PipedChild& PipedChild::operator=(PipedChild&&) noexcept = default;

bool PipedChild::Started() const { return handles_ && handles_->process != nullptr; }

bool PipedChild::Write(const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(handles_->input, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                       nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

// The end of the output is the child's end, not the pipe's: under Wine the
// desktop program (explorer.exe), which the first program of a prefix that
// touches the desktop starts, inherits that program's standard handles and
// keeps them open while it runs, so the pipe would stay open long after the
// child ended.
std::string PipedChild::Read(std::size_t most)
{
    Handles& h = *handles_;
    for (bool ended = false;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(h.output, nullptr, 0, nullptr, &available, nullptr)) return {};
        if (available > 0) {
            std::string buffer(std::min<std::size_t>(most, available), '\0');
            DWORD got = 0;
            if (!ReadFile(h.output, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) got = 0;
            buffer.resize(got);
            return buffer;
        }
        // Looked at once more after the end: what the child wrote just
        // before it ended is in the pipe by then.
        if (ended) return {};
        ended = h.process == nullptr || WaitForSingleObject(h.process, 20) == WAIT_OBJECT_0;
    }
}

int PipedChild::Finish()
{
    Handles& h = *handles_;
    if (h.finished) return h.status;
    h.finished = true;
    CloseIfOpen(h.input);
    CloseIfOpen(h.output);
    if (h.process == nullptr) return h.status;
    DWORD code = 0;
    if (WaitForSingleObject(h.process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(h.process, &code))
        h.status = static_cast<int>(code);
    CloseIfOpen(h.process);
    return h.status;
}

}  // namespace nerolin::test
