#include "platform/DataProtection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>

#include "platform/XdgDirectories.h"

namespace nerolin {
namespace {

// Blob layout: magic (4) | scope (1) | nonce (12) | ciphertext | tag (16).
// The magic and the scope byte are authenticated as additional data, so a
// blob cannot be moved from one scope to the other.
constexpr std::array<std::uint8_t, 4> kMagic{'N', 'R', 'P', '1'};
constexpr std::size_t kHeaderSize = kMagic.size() + 1;
constexpr std::size_t kNonceSize = 12;
constexpr std::size_t kTagSize = 16;
constexpr std::size_t kKeySize = 32;

// Key bytes that wipe themselves.
struct Key {
    std::array<std::uint8_t, kKeySize> bytes{};
    ~Key() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

struct FileDescriptor {
    int fd = -1;
    explicit FileDescriptor(int value) : fd(value) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd >= 0) close(fd);
    }
};

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;
using KdfContext = std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)>;

bool ReadExactly(int fd, std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        ssize_t got = read(fd, data, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        data += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool WriteExactly(int fd, const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        ssize_t put = write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// The key file must be ours, a regular file and of the right size; one that
// others may read is refused rather than trusted.
bool ReadUserKey(const std::string& path, Key& key)
{
    FileDescriptor file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (file.fd < 0) return false;
    struct stat status {};
    if (fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid() ||
        (status.st_mode & 077) != 0 || status.st_size != static_cast<off_t>(kKeySize))
        return false;
    return ReadExactly(file.fd, key.bytes.data(), key.bytes.size());
}

// Writes a fresh key to a temporary file and links it into place, so two
// processes that start at once agree on one key: the loser of link() reads
// the winner's file.
bool CreateUserKey(const std::string& path)
{
    std::string directory = path.substr(0, path.rfind('/'));
    if (!MakeDirectories(directory, 0700)) return false;
    std::string temporary = directory + "/.key-XXXXXX";
    FileDescriptor file(mkostemp(temporary.data(), O_CLOEXEC));
    if (file.fd < 0) return false;
    Key key;
    bool written = fchmod(file.fd, 0600) == 0 && RAND_bytes(key.bytes.data(), kKeySize) == 1 &&
                   WriteExactly(file.fd, key.bytes.data(), kKeySize) && fsync(file.fd) == 0;
    bool linked = written && (link(temporary.c_str(), path.c_str()) == 0 || errno == EEXIST);
    unlink(temporary.c_str());
    return linked;
}

bool UserKey(Key& key)
{
    std::string path = UserKeyPath();
    if (ReadUserKey(path, key)) return true;
    // Present now: either another process linked it in since our read (it
    // appears whole, so a second read succeeds), or it is unusable, and then
    // it is never replaced.
    if (access(path.c_str(), F_OK) == 0) return ReadUserKey(path, key);
    return CreateUserKey(path) && ReadUserKey(path, key);
}

bool MachineKey(Key& key)
{
    std::string id;
    for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        std::ifstream file(path);
        if (file && std::getline(file, id) && id.size() >= 32) break;
        id.clear();
    }
    if (id.empty()) return false;
    static constexpr char kSalt[] = "Tavorel Nerolin machine data protection";
    static constexpr char kInfo[] = "AES-256-GCM key v1";
    KdfContext context(EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr), EVP_PKEY_CTX_free);
    std::size_t length = kKeySize;
    return context && EVP_PKEY_derive_init(context.get()) > 0 &&
           EVP_PKEY_CTX_set_hkdf_md(context.get(), EVP_sha256()) > 0 &&
           EVP_PKEY_CTX_set1_hkdf_salt(context.get(), reinterpret_cast<const unsigned char*>(kSalt), sizeof kSalt - 1) >
               0 &&
           EVP_PKEY_CTX_set1_hkdf_key(context.get(), reinterpret_cast<const unsigned char*>(id.data()),
                                      static_cast<int>(id.size())) > 0 &&
           EVP_PKEY_CTX_add1_hkdf_info(context.get(), reinterpret_cast<const unsigned char*>(kInfo), sizeof kInfo - 1) >
               0 &&
           EVP_PKEY_derive(context.get(), key.bytes.data(), &length) > 0 && length == kKeySize;
}

bool LoadKey(Scope scope, Key& key) { return scope == Scope::User ? UserKey(key) : MachineKey(key); }

std::array<std::uint8_t, kHeaderSize> Header(Scope scope)
{
    return {kMagic[0], kMagic[1], kMagic[2], kMagic[3], static_cast<std::uint8_t>(scope == Scope::User ? 1 : 2)};
}

}  // namespace

std::string UserKeyPath() { return DataHome() + "/Tavorel/Nerolin/dataprotection.key"; }

std::optional<Bytes> Protect(Scope scope, const Bytes& clear)
{
    Key key;
    if (!LoadKey(scope, key)) return std::nullopt;
    auto header = Header(scope);
    Bytes blob(header.begin(), header.end());
    blob.resize(kHeaderSize + kNonceSize + clear.size() + kTagSize);
    std::uint8_t* nonce = blob.data() + kHeaderSize;
    std::uint8_t* out = nonce + kNonceSize;
    if (RAND_bytes(nonce, kNonceSize) != 1) return std::nullopt;

    CipherContext context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    int finalLength = 0;
    if (!context || EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.bytes.data(), nonce) != 1 ||
        EVP_EncryptUpdate(context.get(), nullptr, &length, header.data(), static_cast<int>(header.size())) != 1 ||
        (!clear.empty() &&
         EVP_EncryptUpdate(context.get(), out, &length, clear.data(), static_cast<int>(clear.size())) != 1) ||
        EVP_EncryptFinal_ex(context.get(), out + length, &finalLength) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, kTagSize, out + clear.size()) != 1)
        return std::nullopt;
    return blob;
}

std::optional<Bytes> Unprotect(Scope scope, const Bytes& blob)
{
    auto header = Header(scope);
    if (blob.size() < kHeaderSize + kNonceSize + kTagSize || std::memcmp(blob.data(), header.data(), kHeaderSize) != 0)
        return std::nullopt;
    Key key;
    if (!LoadKey(scope, key)) return std::nullopt;
    const std::uint8_t* nonce = blob.data() + kHeaderSize;
    const std::uint8_t* in = nonce + kNonceSize;
    std::size_t size = blob.size() - kHeaderSize - kNonceSize - kTagSize;
    Bytes tag(in + size, in + size + kTagSize);

    Bytes clear(size);
    CipherContext context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int length = 0;
    int finalLength = 0;
    bool opened =
        context && EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.bytes.data(), nonce) == 1 &&
        EVP_DecryptUpdate(context.get(), nullptr, &length, header.data(), static_cast<int>(header.size())) == 1 &&
        (size == 0 || EVP_DecryptUpdate(context.get(), clear.data(), &length, in, static_cast<int>(size)) == 1) &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, kTagSize, tag.data()) == 1 &&
        EVP_DecryptFinal_ex(context.get(), clear.data() + length, &finalLength) == 1;
    if (!opened) {
        OPENSSL_cleanse(clear.data(), clear.size());
        return std::nullopt;
    }
    return clear;
}

}  // namespace nerolin
