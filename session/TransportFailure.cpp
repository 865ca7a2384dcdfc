#include "session/TransportFailure.h"

#include <curl/curl.h>

#include "common/StringIds.h"
#include "common/StringTable.h"

namespace nerolin {

std::string TransportFailureText(int curlCode, long proxyStatus)
{
    if (curlCode != CURLE_OK && (proxyStatus == 407 || proxyStatus == 401))
        return LoadString(strings::kProxyCredentialsRefused);
    switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OPERATION_TIMEDOUT: return LoadString(strings::kTransportTimedOut);
    case CURLE_COULDNT_RESOLVE_HOST: return LoadString(strings::kTransportHostNotFound);
    case CURLE_COULDNT_CONNECT: return LoadString(strings::kTransportUnreachable);
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_PROXY: return LoadString(strings::kTransportProxyFailed);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED: return LoadString(strings::kTransportTlsFailed);
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS: return LoadString(strings::kTransportUntrusted);
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM: return LoadString(strings::kTransportBroken);
    default: return LoadString(strings::kTransportFailed);
    }
}

}  // namespace nerolin
