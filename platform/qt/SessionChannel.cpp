#include "platform/qt/SessionChannel.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <sstream>
#include <string_view>

#include <QLocalServer>
#include <QLocalSocket>

#include <openssl/sha.h>

#include "common/Text.h"
#include "platform/FileLock.h"
#include "platform/qt/ChannelPlace.h"

namespace nerolin {
namespace {

constexpr char kRaiseWord[] = "raise";
constexpr char kRaiseAnswer[] = "raised\n";
// A request line: "raise TIME TOKEN\n", "-" for an empty token. Tokens are
// short (a UUID or a compositor's name and serial); the bound keeps a
// stranger's write from growing the owner's buffer.
constexpr qint64 kMaxRequestLine = 512;
constexpr std::size_t kMaxToken = 400;
constexpr int kConnectMilliseconds = 2000;
constexpr int kAnswerMilliseconds = 5000;
constexpr std::chrono::milliseconds kClaimLockWait{5000};

}  // namespace

SessionChannel::SessionChannel(std::string sessionId, std::function<void(const RaiseRequest&)> onRaise)
    : sessionId_(std::move(sessionId)),
      onRaise_(std::move(onRaise))
{
}

SessionChannel::~SessionChannel()
{
    if (server_) server_->close();  // removes the socket file
}

std::string SessionChannel::SocketPath(const std::string& sessionId, std::string* refusal)
{
    return PlaceOf(sessionId, refusal).listenName;
}

std::string SessionChannel::FileBase(const std::string& sessionId)
{
    const ChannelPlace place = PlaceOf(sessionId, nullptr);
    if (place.listenName.empty()) return {};
    return place.lockPath.substr(0, place.lockPath.size() - std::string_view(".lock").size());
}

ChannelPlace SessionChannel::PlaceOf(const std::string& sessionId, std::string* refusal)
{
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(sessionId.data()), sessionId.size(), digest);
    // Half the digest keeps a socket's path well inside the 108 bytes its
    // address holds, and is still far beyond any chance of collision.
    ChannelPlace place = ChannelPlaceOf(HexEncode(digest, sizeof digest / 2));
    if (refusal != nullptr) *refusal = place.refusal;
    return place;
}

bool SessionChannel::AskOwnerToRaise(const std::string& sessionId, const RaiseRequest& request)
{
    return Ask(sessionId, request) == Answer::Raised;
}

std::string SessionChannel::RequestLine(const RaiseRequest& request)
{
    const bool tokenUsable = !request.activationToken.empty() && request.activationToken.size() <= kMaxToken &&
                             std::all_of(request.activationToken.begin(), request.activationToken.end(),
                                         [](char c) { return c > ' ' && c < 127; });
    return std::string(kRaiseWord) + " " + std::to_string(request.userTime) + " " +
           (tokenUsable ? request.activationToken : std::string("-")) + "\n";
}

std::optional<RaiseRequest> SessionChannel::ParseRequestLine(const std::string& line)
{
    // The bare "raise" of an older start still asks for the window.
    if (line == std::string(kRaiseWord) + "\n") return RaiseRequest{};
    std::istringstream words(line);
    std::string word, time, token, rest;
    if (!(words >> word >> time >> token) || word != kRaiseWord || (words >> rest) || line.back() != '\n') {
        return std::nullopt;
    }
    RaiseRequest request;
    const auto [end, error] = std::from_chars(time.data(), time.data() + time.size(), request.userTime);
    if (error != std::errc() || end != time.data() + time.size() || token.size() > kMaxToken) return std::nullopt;
    if (token != "-") request.activationToken = token;
    return request;
}

SessionChannel::Answer SessionChannel::Ask(const std::string& sessionId, const RaiseRequest& request)
{
    const std::string path = SocketPath(sessionId);
    if (path.empty()) return Answer::NoOwner;
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(path));
    if (!socket.waitForConnected(kConnectMilliseconds)) return Answer::NoOwner;
    socket.write(QByteArray::fromStdString(RequestLine(request)));
    QByteArray answer;
    if (socket.waitForBytesWritten(kConnectMilliseconds)) {
        while (!answer.contains('\n') && answer.size() < 64 && socket.waitForReadyRead(kAnswerMilliseconds))
            answer += socket.readAll();
    }
    // Someone listens but did not answer in time: a live owner that is busy,
    // whose socket must not be taken away.
    return answer == kRaiseAnswer ? Answer::Raised : Answer::Busy;
}

SessionChannel::Claim SessionChannel::ClaimSession(const RaiseRequest& request)
{
    const ChannelPlace place = PlaceOf(sessionId_, &folderRefusal_);
    const std::string& path = place.listenName;
    if (path.empty()) return Claim::Unavailable;
    // Serialises "is anyone listening? then I listen" between processes of
    // the same session, so two that start together cannot both become owners.
    FileLock lock(place.lockPath, kClaimLockWait);
    if (!lock.locked()) return Claim::Unavailable;
    if (Ask(sessionId_, request) != Answer::NoOwner) return Claim::RaisedOwner;

    // Nobody answered: whatever socket is there belongs to a dead process.
    QLocalServer::removeServer(QString::fromStdString(path));
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(QString::fromStdString(path))) {
        server_.reset();
        return Claim::Unavailable;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QLocalSocket::readyRead, client, [this, client] {
                if (client->bytesAvailable() > kMaxRequestLine) {
                    client->abort();
                    return;
                }
                if (!client->canReadLine()) return;
                const auto request = ParseRequestLine(client->readLine(kMaxRequestLine + 1).toStdString());
                if (request) {
                    if (onRaise_) onRaise_(*request);
                    client->write(kRaiseAnswer);
                }
                client->disconnectFromServer();
            });
        }
    });
    return Claim::Owner;
}

}  // namespace nerolin
