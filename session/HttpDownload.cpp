#include "session/HttpDownload.h"

#include <chrono>
#include <cstdio>
#include <memory>

#include "platform/Files.h"
#include "session/CurlSetup.h"
#include "session/ExchangeLimits.h"

namespace nerolin {
namespace {

// Where the bytes of one download go, and what ended it.
struct Sink {
    std::string* text = nullptr;
    OutputFile* file = nullptr;
    std::uint64_t received = 0;
    std::uint64_t maxSize = 0;
    const std::atomic<bool>* abort = nullptr;
    std::chrono::steady_clock::time_point lastByte;
    std::chrono::milliseconds idleTimeout{0};
    bool tooLarge = false;
    bool writeFailed = false;
    bool idleExpired = false;
};

std::size_t OnData(char* data, std::size_t size, std::size_t count, void* context)
{
    auto& sink = *static_cast<Sink*>(context);
    const std::size_t length = size * count;
    sink.lastByte = std::chrono::steady_clock::now();
    if (sink.received + length > sink.maxSize) {
        sink.tooLarge = true;
        return 0;
    }
    sink.received += length;
    if (sink.text != nullptr) {
        sink.text->append(data, length);
    } else if (!sink.file->Write(std::string_view(data, length))) {
        sink.writeFailed = true;
        return 0;
    }
    return length;
}

std::size_t OnHeader(char*, std::size_t size, std::size_t count, void* context)
{
    static_cast<Sink*>(context)->lastByte = std::chrono::steady_clock::now();
    return size * count;
}

int OnProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto& sink = *static_cast<Sink*>(context);
    if (sink.abort->load()) {
        return 1;
    }
    if (std::chrono::steady_clock::now() - sink.lastByte > sink.idleTimeout) {
        sink.idleExpired = true;
        return 1;
    }
    return 0;
}

bool Download(const std::string& url, Sink& sink, std::string& error)
{
    const ExchangeLimits limits = CurrentExchangeLimits();
    CurlEasyPtr easy = OpenTransferHandle(url, limits);
    if (!easy) {
        error = "curl_easy_init failed";
        return false;
    }
    CURL* handle = easy.get();
    sink.idleTimeout = limits.idleTimeout;
    sink.lastByte = std::chrono::steady_clock::now();
    ApplySystemTrust(handle);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &sink);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &sink);

    const CURLcode code = curl_easy_perform(handle);
    if (code == CURLE_OK) {
        return true;
    }
    if (sink.tooLarge) {
        error = "the answer is larger than " + std::to_string(sink.maxSize) + " bytes";
    } else if (sink.writeFailed) {
        error = "the file could not be written";
    } else if (sink.idleExpired) {
        error = curl_easy_strerror(CURLE_OPERATION_TIMEDOUT);
    } else if (sink.abort->load()) {
        error = "aborted";
    } else {
        error = curl_easy_strerror(code);
    }
    return false;
}

}  // namespace

bool DownloadText(const std::string& url, std::size_t maxSize, const std::atomic<bool>& abort, std::string& body,
                  std::string& error)
{
    body.clear();
    Sink sink;
    sink.text = &body;
    sink.maxSize = maxSize;
    sink.abort = &abort;
    return Download(url, sink, error);
}

bool DownloadFile(const std::string& url, std::uint64_t maxSize, const std::atomic<bool>& abort,
                  const std::string& path, std::string& error)
{
    OutputFile file(path, FileAccess::Private, true);
    if (!file.is_open()) {
        error = "the file could not be created";
        return false;
    }
    Sink sink;
    sink.file = &file;
    sink.maxSize = maxSize;
    sink.abort = &abort;
    bool ok = Download(url, sink, error);
    if (!file.Close() && ok) {
        ok = false;
        error = "the file could not be written";
    }
    if (!ok) {
        RemoveFile(path);
    }
    return ok;
}

}  // namespace nerolin
