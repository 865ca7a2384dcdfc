#include "session/HttpExchange.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include "common/StringTable.h"
#include "eventlog/EventLog.h"
#include "session/CurlSetup.h"
#include "session/QuotedText.h"
#include "session/ServerTrust.h"
#include "session/ServiceUrl.h"
#include "session/TlsPeer.h"
#include "session/TransportFailure.h"
#include "session/TrustAnswers.h"

namespace nerolin {

namespace {

struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using ListPtr = std::unique_ptr<curl_slist, ListDeleter>;

// A failure of the exchange with its event text; caught at its boundary.
struct ExchangeFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An answer that arrived but is not declared as JSON.
struct RefusedAnswer : ExchangeFailure {
    RefusedAnswer(const std::string& text, int status, std::string contentType)
        : ExchangeFailure(text),
          status(status),
          contentType(std::move(contentType))
    {
    }
    int status;
    std::string contentType;
};

enum class Verb { Get, Post };

// What the callbacks of one transfer share.
struct Transfer {
    Verb verb = Verb::Get;
    std::string body;
    std::size_t maxBodySize = 0;
    bool tooLarge = false;
    std::chrono::steady_clock::time_point lastByte;
    std::chrono::milliseconds idleTimeout{0};
    bool idleExpired = false;
    const std::atomic<bool>* abort = nullptr;
    bool aborted = false;
    CURL* easy = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};
    // Whitelist host: the trust test ran on the verified chain during the transfer.
    bool trustTested = false;
    bool trusted = false;
    // The certificates the handshake refused, and those the user accepted.
    TlsPeer peer;
    // The proxy's answer to CONNECT, 0 without a proxy or an answer.
    long proxyStatus = 0;
    // The answer, once the transfer has ended well.
    int status = 0;
    std::string answer;
};

size_t OnBody(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t length = size * count;
    transfer->lastByte = std::chrono::steady_clock::now();
    if (transfer->body.size() + length > transfer->maxBodySize) {
        transfer->tooLarge = true;
        return 0;  // stops the transfer
    }
    transfer->body.append(data, length);
    return length;
}

size_t OnHeader(char*, size_t size, size_t count, void* user)
{
    static_cast<Transfer*>(user)->lastByte = std::chrono::steady_clock::now();
    return size * count;
}

// The whitelist host's chain as OpenSSL verified it; the TLS object exists
// only while the transfer runs, so the test is made from here.
void TestChainOnce(Transfer& transfer)
{
    curl_tlssessioninfo* info = nullptr;
    if (transfer.trustTested || curl_easy_getinfo(transfer.easy, CURLINFO_TLS_SSL_PTR, &info) != CURLE_OK ||
        info == nullptr || info->backend != CURLSSLBACKEND_OPENSSL || info->internals == nullptr) {
        return;
    }
    STACK_OF(X509)* verified = SSL_get0_verified_chain(static_cast<SSL*>(info->internals));
    if (verified == nullptr) {
        return;  // handshake not finished yet
    }
    CertificateChain chain;
    for (int i = 0; i < sk_X509_num(verified); ++i) {
        chain.push_back(sk_X509_value(verified, i));
    }
    const std::vector<CertificateChain> context{chain};
    transfer.trustTested = true;
    transfer.trusted = CheckServerTrust(&context);
}

// libcurl calls this about once a second however quiet the connection, and
// more often while data flows: the user's abort takes effect from here.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* transfer = static_cast<Transfer*>(user);
    if (transfer->abort != nullptr && transfer->abort->load()) {
        transfer->aborted = true;
        return 1;
    }
    if (transfer->verb == Verb::Get) {
        TestChainOnce(*transfer);
        if (transfer->trustTested && !transfer->trusted) {
            return 1;  // not a byte more from a host that is not the maker's
        }
    }
    if (std::chrono::steady_clock::now() - transfer->lastByte > transfer->idleTimeout) {
        transfer->idleExpired = true;
        return 1;
    }
    return 0;
}

CURLcode OnSslContext(CURL*, void* sslContext, void* user)
{
    static_cast<Transfer*>(user)->peer.Attach(static_cast<SSL_CTX*>(sslContext));
    return CURLE_OK;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// The entry keeps libcurl's own account of the failure for support; the user
// reads a plain sentence, unless the user ended the exchange.
void ReportTransportFailure(CURLcode code, const std::string& url, const Transfer& transfer)
{
    const std::string detail = transfer.errorText[0] != '\0' ? transfer.errorText : curl_easy_strerror(code);
    WriteEventEntry(EntryType::Error, FormatText("CURLcode: %d (0x%08X) - URL: %s", static_cast<int>(code),
                                                 static_cast<unsigned>(code), QuotedText(url).c_str()) +
                                          " - " + detail);
    if (!transfer.aborted) {
        Prompts().ShowMessage(TransportFailureText(code, transfer.proxyStatus), MessageIcon::Exclamation);
    }
}

// Status and content type of a finished transfer; the body only when it is JSON.
void ReadAnswer(CURL* handle, Transfer& transfer)
{
    long code = 0;
    if (curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code) != CURLE_OK || code == 0) {
        throw ExchangeFailure("Failed to query HTTP status code");
    }
    transfer.status = static_cast<int>(code);
    const char* contentType = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_CONTENT_TYPE, &contentType) != CURLE_OK || contentType == nullptr) {
        throw ExchangeFailure("Failed to query content type");
    }
    // Case-sensitive, at the first character; parameters may follow.
    if (StartsWith(contentType, "application/json")) {
        transfer.answer = std::move(transfer.body);
        return;
    }
    std::string failure = "Invalid content type:" + QuotedText(contentType);
    if (StartsWith(contentType, "text/")) {
        failure += "Invalid content:" + QuotedText(transfer.body);
    }
    throw RefusedAnswer(failure, transfer.status, contentType);
}

// One request on its own handle. Returns the transport's code; every other
// failure is thrown with its text.
CURLcode Perform(Verb verb, const ServiceUrl& target, const std::string& request, Transfer& transfer)
{
    const ExchangeLimits current = CurrentExchangeLimits();
    CurlEasyPtr easy = OpenTransferHandle(target.url, current);
    if (!easy) {
        throw ExchangeFailure("Failed to open request! Server: " + target.host + " Object: " + target.object);
    }
    CURL* handle = easy.get();
    transfer.verb = verb;
    transfer.easy = handle;
    transfer.maxBodySize = current.maxBodySize;
    transfer.idleTimeout = current.idleTimeout;
    transfer.lastByte = std::chrono::steady_clock::now();

    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(current.totalTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, transfer.errorText);
    // Every exchange stands alone; a resumed TLS session would carry no chain to test.
    curl_easy_setopt(handle, CURLOPT_SSL_SESSIONID_CACHE, 0L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, OnSslContext);
    curl_easy_setopt(handle, CURLOPT_SSL_CTX_DATA, &transfer);

    // No content type is declared for the body, and no accept types are sent.
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Accept:");
    headers = curl_slist_append(headers, "Expect:");
    if (verb == Verb::Post) {
        headers = curl_slist_append(headers, "Content-Type:");
    }
    ListPtr headerOwner(headers);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);

    if (verb == Verb::Post) {
        ApplySystemTrust(handle);
        // The body ends at its first zero byte.
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.c_str());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(std::strlen(request.c_str())));
    } else {
        ApplyBuiltInTrust(handle);
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    }

    CURLcode code = curl_easy_perform(handle);
    curl_easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &transfer.proxyStatus);
    if (transfer.tooLarge) {
        throw ExchangeFailure("Response too large");
    }
    if (verb == Verb::Get && transfer.trustTested && !transfer.trusted) {
        throw ExchangeFailure("Invalid server certificate chain");
    }
    if (transfer.idleExpired) {
        code = CURLE_OPERATION_TIMEDOUT;
        std::snprintf(transfer.errorText, sizeof transfer.errorText, "No byte received for %lld ms",
                      static_cast<long long>(transfer.idleTimeout.count()));
    }
    if (code != CURLE_OK) {
        return code;
    }
    if (verb == Verb::Get && !transfer.trustTested) {
        throw ExchangeFailure("Failed to query server certificate chain");
    }
    ReadAnswer(handle, transfer);
    return code;
}

// A whitelist host whose chain the built-in roots refused: the server-trust
// test still runs on the chain it presented, so that the entries say where
// it ended (a proxy's own root, a root with the right name and another key).
// The request was never sent; the download fails either way.
void TestRefusedChain(const TlsPeer& peer)
{
    CertificateChain chain;
    for (const X509Ptr& certificate : peer.RefusedChain()) {
        chain.push_back(certificate.get());
    }
    const std::vector<CertificateChain> context{chain};
    if (!CheckServerTrust(&context)) {
        throw ExchangeFailure("Invalid server certificate chain");
    }
}

enum class Trust { Retry, Refused, Unanswered };

// The signing service's certificate that the system refused: asked about
// once per run for its host, then answered from memory.
Trust DecideServiceTrust(const std::string& host, const TlsPeer& peer, const std::string& url, bool mayAsk)
{
    const Bytes& certificate = peer.Refused();
    TrustAnswer answer = RememberedTrustAnswer(host, certificate);
    if (answer == TrustAnswer::NotAsked) {
        if (!mayAsk) {
            return Trust::Unanswered;
        }
        const bool accepted = Prompts().TrustServerCertificate(host, certificate, peer.RefusedReason());
        RememberTrustAnswer(host, certificate, accepted);
        if (accepted) {
            WriteEventEntry(EntryType::Warning, "Untrusted server certificate accepted by the user: " +
                                                    CertificateDescription(certificate) + " - URL: " + QuotedText(url));
            return Trust::Retry;
        }
        answer = TrustAnswer::Refused;
    }
    if (answer == TrustAnswer::Refused) {
        WriteEventEntry(EntryType::Error, "Untrusted server certificate refused by the user: " +
                                              CertificateDescription(certificate) + " - URL: " + QuotedText(url));
        return Trust::Refused;
    }
    return Trust::Unanswered;
}

SessionError Exchange(Verb verb, const std::string& url, const ServiceUrl& target, const std::string& request,
                      int& status, std::string& body, const std::atomic<bool>* abort)
{
    const SessionError failed =
        verb == Verb::Get ? SessionError::WhitelistConnectionError : SessionError::ConnectionError;
    try {
        bool asked = false;
        for (;;) {
            Transfer transfer;
            transfer.abort = abort;
            if (verb == Verb::Post) {
                transfer.peer.SetAccepted(AcceptedCertificates(target.host));
            }
            const CURLcode code = Perform(verb, target, request, transfer);
            if (code == CURLE_PEER_FAILED_VERIFICATION && transfer.peer.HasRefused()) {
                if (verb == Verb::Get) {
                    TestRefusedChain(transfer.peer);
                } else {
                    const Trust trust = DecideServiceTrust(target.host, transfer.peer, url, !asked);
                    asked = true;
                    if (trust == Trust::Retry) {
                        continue;  // the same request again, trusting exactly that certificate
                    }
                    if (trust == Trust::Refused) {
                        return failed;  // the user's own answer: nothing more to show
                    }
                }
            }
            if (code != CURLE_OK) {
                ReportTransportFailure(code, url, transfer);
                return failed;
            }
            status = transfer.status;
            body = std::move(transfer.answer);
            return SessionError::Ok;
        }
    } catch (const RefusedAnswer& failure) {
        WriteEventEntry(EntryType::Error, failure.what());
        // The entry above runs the type and the page together and has no
        // status; a service developer needs both to find the failing route.
        WriteEventEntry(EntryType::Error,
                        FormatText("Answer refused: HTTP status %d, content type \"", failure.status) +
                            QuotedText(failure.contentType) + "\" from " + QuotedText(url) +
                            "; every answer must be declared as application/json");
        return failed;
    } catch (const std::exception& failure) {
        WriteEventEntry(EntryType::Error, failure.what());
        return failed;
    }
}

// The checks both exchanges make before anything is sent.
SessionError CheckUrl(const std::string& url, ServiceUrl& target)
{
    if (!ParseServiceUrl(url, target)) {
        WriteEventEntry(EntryType::Error, "Failed to parse URL: " + QuotedText(url));
        return SessionError::BadUrl;
    }
    if (target.serviceType != kServiceTypeHttps) {
        WriteEventEntry(EntryType::Error, FormatText("Invalid service type: %d", target.serviceType));
        return SessionError::InvalidServiceType;
    }
    return SessionError::Ok;
}

}  // namespace

SessionError HttpGetJson(const std::string& url, int& status, std::string& body)
{
    ServiceUrl target;
    if (const SessionError error = CheckUrl(url, target); error != SessionError::Ok) {
        return error;
    }
    return Exchange(Verb::Get, url, target, {}, status, body, nullptr);
}

SessionError HttpPostJson(const std::string& url, const std::set<std::string>& whitelist, const std::string& request,
                          int& status, std::string& body, const std::atomic<bool>* abort)
{
    ServiceUrl target;
    if (const SessionError error = CheckUrl(url, target); error != SessionError::Ok) {
        return error;
    }
    if (whitelist.count(target.host) == 0) {
        WriteEventEntry(EntryType::Error, QuotedText(target.host) + " is not found on the whitelist");
        return SessionError::ServerNotAllowed;
    }
    return Exchange(Verb::Post, url, target, request, status, body, abort);
}

void ReportInvalidStatus(int status)
{
    WriteEventEntry(EntryType::Error, FormatText("Invalid HTTP status code: %d", status));
}

void ReportJsonError(std::string_view body)
{
    WriteEventEntry(EntryType::Error, "JSON parse error! JSON: " + QuotedText(body));
}

}  // namespace nerolin
