// trust-root PEM: the certificates of the PEM file into the user's ROOT store
// of the Wine prefix, where nerolin.exe's system trust finds the reference
// service's CA (the prefix is made afresh for every run and thrown away).
#include <cstdio>

#include "tests/support/SystemRoots.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: trust-root PEM\n");
        return 2;
    }
    nerolin::test::TrustSystemRoots(argv[1]);
    return 0;
}
