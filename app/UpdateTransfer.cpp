#include "app/UpdateTransfer.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include "common/SecretString.h"
#include "platform/Settings.h"

namespace nerolin {
namespace {

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlPtr = std::unique_ptr<CURL, CurlDeleter>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct Sink {
    std::string* text = nullptr;
    std::FILE* file = nullptr;
    std::uint64_t received = 0;
    std::uint64_t maxSize = 0;
    bool tooLarge = false;
    bool writeFailed = false;
    const std::atomic<bool>* abort = nullptr;
};

std::size_t OnData(char* data, std::size_t size, std::size_t count, void* context)
{
    auto& sink = *static_cast<Sink*>(context);
    const std::size_t length = size * count;
    if (sink.received + length > sink.maxSize) {
        sink.tooLarge = true;
        return 0;
    }
    sink.received += length;
    if (sink.text != nullptr) {
        sink.text->append(data, length);
    } else if (std::fwrite(data, 1, length, sink.file) != length) {
        sink.writeFailed = true;
        return 0;
    }
    return length;
}

int OnProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<Sink*>(context)->abort->load() ? 1 : 0;
}

void UseStoredProxy(CURL* handle)
{
    std::string proxyUrl;
    const bool machineWide = ReadProxyUrl(proxyUrl);
    if (proxyUrl.empty()) {
        return;
    }
    curl_easy_setopt(handle, CURLOPT_PROXY, proxyUrl.c_str());
    std::string userName;
    SecretString password;
    ReadProxyCredentials(machineWide, userName, password);
    if (!userName.empty()) {
        curl_easy_setopt(handle, CURLOPT_PROXYUSERNAME, userName.c_str());
        // libcurl copies the text, so the secret's buffer stays the only copy of ours.
        curl_easy_setopt(handle, CURLOPT_PROXYPASSWORD, password.data());
    }
}

bool Transfer(const std::string& url, Sink& sink, std::string& error)
{
    CurlPtr handle(curl_easy_init());
    if (!handle) {
        error = "curl_easy_init failed";
        return false;
    }
    CURL* easy = handle.get();
    const TransferLimits limits;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "Nerolin 1.0.21.0");
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, limits.idleTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &sink);
    if (const char* file = std::getenv("SSL_CERT_FILE"); file != nullptr && *file != '\0') {
        curl_easy_setopt(easy, CURLOPT_CAINFO, file);
    }
    if (const char* dir = std::getenv("SSL_CERT_DIR"); dir != nullptr && *dir != '\0') {
        curl_easy_setopt(easy, CURLOPT_CAPATH, dir);
    }
    UseStoredProxy(easy);

    const CURLcode code = curl_easy_perform(easy);
    if (code == CURLE_OK) {
        return true;
    }
    if (sink.tooLarge) {
        error = "the answer is larger than " + std::to_string(sink.maxSize) + " bytes";
    } else if (sink.writeFailed) {
        error = "the file could not be written";
    } else {
        error = curl_easy_strerror(code);
    }
    return false;
}

}  // namespace

bool HttpsGetText(const std::string& url, std::size_t maxSize, const std::atomic<bool>& abort, std::string& body,
                  std::string& error)
{
    body.clear();
    Sink sink;
    sink.text = &body;
    sink.maxSize = maxSize;
    sink.abort = &abort;
    return Transfer(url, sink, error);
}

bool HttpsGetFile(const std::string& url, std::uint64_t maxSize, const std::atomic<bool>& abort,
                  const std::string& path, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = "the file could not be created";
        return false;
    }
    FilePtr file(::fdopen(fd, "wb"));
    if (!file) {
        ::close(fd);
        ::unlink(path.c_str());
        error = "the file could not be created";
        return false;
    }
    Sink sink;
    sink.file = file.get();
    sink.maxSize = maxSize;
    sink.abort = &abort;
    bool ok = Transfer(url, sink, error);
    if (std::fclose(file.release()) != 0 && ok) {
        ok = false;
        error = "the file could not be written";
    }
    if (!ok) {
        ::unlink(path.c_str());
    }
    return ok;
}

}  // namespace nerolin
