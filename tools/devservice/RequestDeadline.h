#pragma once

// Bounds on the time a client may take to deliver a request, and on what it
// may send before the request is read whole. httplib only
// bounds the wait for each next byte (its read timeout), so a client that
// drips its headers or body a byte at a time would hold one of the service's
// workers for as long as it liked. Here each connection's TLS handshake
// starts a deadline, and the handler of its request, which runs once the
// request has been read whole, ends it; a connection still being read when
// its deadline passes is shut down. The servers take one request per
// connection (TlsServer.cpp), so every request has its own deadline.
//
// httplib keeps every header line it reads and bounds only the length of
// each, so a client sending header lines as fast as it can would grow the
// service without end within its deadline. Every TLS record a connection
// receives before its request has been read is counted, and a connection
// that has sent more than a request may hold (kMaxRequestSize of body and
// kMaxHeaderBytes of request line and headers) is shut down likewise.
//
// The deadline rides on the connection's OpenSSL object: the TLS layer's
// info callback sees the handshake start on the connection's own thread, and
// the object's end (before httplib closes the socket) forgets it, so a
// socket number reused by a later connection is never cut.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <set>
#include <thread>

#include <openssl/ssl.h>

namespace nerolin::devservice {

class RequestDeadline {
public:
    // limit: the time from the handshake to the whole request; maxBytes:
    // what the client may send in that time.
    RequestDeadline(std::chrono::milliseconds limit, std::size_t maxBytes);
    // Stops and joins the watching thread.
    ~RequestDeadline();
    RequestDeadline(const RequestDeadline&) = delete;
    RequestDeadline& operator=(const RequestDeadline&) = delete;

    // From a TLS server's context setup.
    void Attach(SSL_CTX& context);

    // On the connection's thread: the request has arrived whole (its handler
    // runs, which may take as long as it likes).
    static void RequestRead();

    struct Connection;

private:
    static void OnInfo(const SSL* ssl, int where, int ret);
    static void OnMessage(int writing, int version, int contentType, const void* buffer, std::size_t length, SSL* ssl,
                          void* argument);
    void Cut(Connection& connection);
    static void OnFree(void* parent, void* pointer, CRYPTO_EX_DATA* data, int index, long argl, void* argp);
    void Disarm(Connection& connection);
    void Forget(Connection* connection);
    void Watch();

    const std::chrono::milliseconds limit_;
    const std::size_t maxBytes_;
    int connectionIndex_ = -1;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<Connection*> connections_;
    bool stopping_ = false;
    std::thread watcher_;
};

}  // namespace nerolin::devservice
