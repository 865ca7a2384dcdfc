#include "tests/support/PipedChild.h"

#include <windows.h>

namespace nerolin::test {
namespace {

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

// One word of a command line as the C runtime of the child splits it again:
// in quotes, with a quote and the backslashes before one (or before the
// closing quote) escaped.
std::wstring Quoted(const std::wstring& word)
{
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : word) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

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

    std::wstring path = Wide(program);
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    std::wstring commandLine = Quoted(path);
    for (const std::string& argument : arguments) commandLine += L" " + Quoted(Wide(argument));

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

std::string PipedChild::Read(std::size_t most)
{
    std::string buffer(most, '\0');
    DWORD got = 0;
    if (!ReadFile(handles_->output, buffer.data(), static_cast<DWORD>(most), &got, nullptr)) got = 0;
    buffer.resize(got);
    return buffer;
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
