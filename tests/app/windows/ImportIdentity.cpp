// import-identity NAME: the signing identity testdata/pki/signing/NAME (key
// and certificate) into the current user's "MY" store of the Wine prefix, as
// Windows imports a PKCS#12 file: where nerolin.exe's certificate-store
// provider finds the certificate to sign with.
#include <cstdio>

#include "tests/providers/mswin/StoreFixture.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: import-identity NAME\n");
        return 2;
    }
    if (!nerolin::test::ImportIntoMy(nerolin::test::MakePfx(argv[1], true))) {
        std::fprintf(stderr, "import-identity: Windows refused the identity %s\n", argv[1]);
        return 1;
    }
    return 0;
}
