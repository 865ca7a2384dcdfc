// import-identity NAME [PROVIDER CONTAINER]: the signing identity
// testdata/pki/signing/NAME into the current user's "MY" store of the Wine
// prefix, where nerolin.exe's certificate-store provider finds the
// certificate to sign with.
//   NAME                     key and certificate, as Windows imports a PKCS#12 file
//   NAME PROVIDER CONTAINER  the certificate alone, its key property naming a
//                            container of that CryptoAPI provider, as a card
//                            maker's middleware registers a card's certificate
//                            (the provider need not exist: its name leads the
//                            alternative choice to the maker's module)
#include <cstdio>
#include <string>

#include "tests/providers/mswin/StoreFixture.h"

namespace {

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii)); }

}  // namespace

int main(int argc, char** argv)
{
    bool imported = false;
    if (argc == 2) {
        imported = nerolin::test::ImportIntoMy(nerolin::test::MakePfx(argv[1], true));
    } else if (argc == 4) {
        imported = nerolin::test::AddToMyWithKeyOf(argv[1], Wide(argv[2]).c_str(), Wide(argv[3]).c_str(), PROV_RSA_FULL,
                                                   AT_SIGNATURE);
    } else {
        std::fprintf(stderr, "usage: import-identity NAME [PROVIDER CONTAINER]\n");
        return 2;
    }
    if (!imported) {
        std::fprintf(stderr, "import-identity: Windows refused the identity %s\n", argv[1]);
        return 1;
    }
    return 0;
}
