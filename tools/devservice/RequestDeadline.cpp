#include "tools/devservice/RequestDeadline.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nerolin::devservice {

struct RequestDeadline::Connection {
    RequestDeadline* owner = nullptr;
    int socket = -1;
    std::chrono::steady_clock::time_point deadline;
    bool armed = true;
    bool cut = false;
    std::size_t received = 0;  // bytes of TLS records received while armed
};

namespace {

// The connection whose requests this thread serves (httplib runs one
// connection, from handshake to close, on one worker thread).
thread_local RequestDeadline::Connection* current = nullptr;

// Ends a connection under httplib's feet. A shutdown alone does not stop a
// client that keeps sending: Linux still queues what arrives and httplib
// goes on reading it. So the socket's number is then made to name
// /dev/null, on which httplib's next read fails at once; the connection
// itself closes with its last descriptor, and the number stays httplib's
// to close.
void CutSocket(int socket)
{
    static const int deadEnd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    ::shutdown(socket, SHUT_RDWR);
    if (deadEnd >= 0) ::dup2(deadEnd, socket);
}

int OwnerIndex()
{
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

}  // namespace

RequestDeadline::RequestDeadline(std::chrono::milliseconds limit, std::size_t maxBytes)
    : limit_(limit),
      maxBytes_(maxBytes)
{
    connectionIndex_ = SSL_get_ex_new_index(0, this, nullptr, nullptr, &RequestDeadline::OnFree);
    watcher_ = std::thread([this] { Watch(); });
}

RequestDeadline::~RequestDeadline()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    watcher_.join();
}

void RequestDeadline::Attach(SSL_CTX& context)
{
    SSL_CTX_set_ex_data(&context, OwnerIndex(), this);
    SSL_CTX_set_info_callback(&context, &RequestDeadline::OnInfo);
    SSL_CTX_set_msg_callback(&context, &RequestDeadline::OnMessage);
}

void RequestDeadline::OnMessage(int writing, int, int contentType, const void* buffer, std::size_t length, SSL* ssl,
                                void*)
{
    // Only the five-byte header of each received record matters: its last
    // two bytes are the length of what follows.
    if (writing != 0 || contentType != SSL3_RT_HEADER || length < SSL3_RT_HEADER_LENGTH) {
        return;
    }
    auto* owner = static_cast<RequestDeadline*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), OwnerIndex()));
    if (owner == nullptr) {
        return;
    }
    auto* connection = static_cast<Connection*>(SSL_get_ex_data(ssl, owner->connectionIndex_));
    // armed and received change only on this connection's own thread.
    if (connection == nullptr || !connection->armed) {
        return;
    }
    const auto* header = static_cast<const unsigned char*>(buffer);
    connection->received += SSL3_RT_HEADER_LENGTH + ((std::size_t{header[3]} << 8) | header[4]);
    if (connection->received > owner->maxBytes_) {
        owner->Cut(*connection);
    }
}

void RequestDeadline::Cut(Connection& connection)
{
    std::lock_guard lock(mutex_);
    if (!connection.cut) {
        CutSocket(connection.socket);
        connection.cut = true;
    }
}

void RequestDeadline::OnInfo(const SSL* ssl, int where, int)
{
    if ((where & SSL_CB_HANDSHAKE_START) == 0) {
        return;
    }
    auto* owner = static_cast<RequestDeadline*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), OwnerIndex()));
    auto* mutableSsl = const_cast<SSL*>(ssl);
    if (owner == nullptr || SSL_get_ex_data(mutableSsl, owner->connectionIndex_) != nullptr) {
        return;  // a renegotiation of a connection that is watched already
    }
    auto* connection = new Connection;
    connection->owner = owner;
    connection->socket = SSL_get_fd(ssl);
    if (SSL_set_ex_data(mutableSsl, owner->connectionIndex_, connection) != 1) {
        delete connection;
        return;
    }
    current = connection;
    connection->deadline = std::chrono::steady_clock::now() + owner->limit_;
    {
        std::lock_guard lock(owner->mutex_);
        owner->connections_.insert(connection);
    }
    owner->changed_.notify_all();
}

void RequestDeadline::OnFree(void*, void* pointer, CRYPTO_EX_DATA*, int, long, void*)
{
    auto* connection = static_cast<Connection*>(pointer);
    if (connection == nullptr) {
        return;
    }
    connection->owner->Forget(connection);
    if (current == connection) {
        current = nullptr;
    }
    delete connection;
}

void RequestDeadline::RequestRead()
{
    if (current != nullptr) {
        current->owner->Disarm(*current);
    }
}

void RequestDeadline::Disarm(Connection& connection)
{
    std::lock_guard lock(mutex_);
    connection.armed = false;
}

void RequestDeadline::Forget(Connection* connection)
{
    std::lock_guard lock(mutex_);
    connections_.erase(connection);
}

void RequestDeadline::Watch()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto now = std::chrono::steady_clock::now();
        auto next = now + std::chrono::hours(1);
        for (Connection* connection : connections_) {
            if (!connection->armed || connection->cut) {
                continue;
            }
            if (connection->deadline <= now) {
                CutSocket(connection->socket);
                connection->cut = true;
            } else if (connection->deadline < next) {
                next = connection->deadline;
            }
        }
        changed_.wait_until(lock, next);
    }
}

}  // namespace nerolin::devservice
