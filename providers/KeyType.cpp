#include "providers/KeyType.h"

namespace nerolin {

KeyType KeyTypeFromAlgorithmOid(std::string_view oid)
{
    if (oid == "1.2.840.113549.1.1.1") return KeyType::RSA;
    if (oid == "1.2.840.10040.4.1") return KeyType::DSA;
    if (oid == "1.2.840.10045.2.1") return KeyType::EC;
    return KeyType::Unknown;
}

}  // namespace nerolin
