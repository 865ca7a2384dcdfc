#include <gtest/gtest.h>

#include "../support/TestPki.h"
#include "session/ServerTrust.h"
#include "SessionTestEnvironment.h"

namespace nerolin::test {
namespace {

// A whitelist host's chain as TLS would verify it: end, intermediate, root.
struct Chain {
    std::vector<X509Ptr> owned;
    CertificateChain chain;
    Chain(const char* host, const char* intermediate, const char* root)
    {
        for (const std::string& path : {PkiPath(std::string("whitelist/") + host + ".pem"),
                                        PkiPath(std::string("whitelist/") + intermediate + ".pem"),
                                        PkiPath(std::string("roots/") + root + ".pem")}) {
            owned.push_back(LoadCertificate(path));
            EXPECT_NE(owned.back(), nullptr) << path;
            chain.push_back(owned.back().get());
        }
    }
};

TEST(ServerTrust, BuiltInRootsAreTheFourOfTheBuild) { ASSERT_EQ(BuiltInRoots().size(), 4u); }

TEST(ServerTrust, ChainsAreJudgedByRootKeyAndEndIdentifier)
{
    struct Case {
        const char* host;
        const char* intermediate;
        const char* root;
        bool trusted;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        {"host-2848-root2", "int-root2", "root2-valdoro-2017", true, {}},
        {"host-2848-root1", "int-root1", "root1-tavorel-2009", true, {}},
        {"host-2866-root3",
         "int-root3",
         "root3-orvane-prod",
         true,
         {"SSL/TLS connection: Root certificate is issued by Orvane (prod)!"}},
        {"host-2866-root4",
         "int-root4",
         "root4-orvane-stage",
         true,
         {"SSL/TLS connection: Root certificate is issued by Orvane (stage)!"}},
        {"host-wrong-id-root2",
         "int-root2",
         "root2-valdoro-2017",
         false,
         {"SSL/TLS connection: End certificate is not issued to Tavorel! Subject DN of certificate: "
          "1.3.6.1.4.1.32473.2.3.2.2849"}},
        {"host-2848-fake-orvane",
         "int-fake-orvane",
         "fake-orvane",
         false,
         {"SSL/TLS connection: Root certificate is not issued by Tavorel! Subject DN of certificate: "
          "Orvane Administration CA 2022"}},
        {"host-2848-other-root",
         "int-other",
         "other-root",
         false,
         {"SSL/TLS connection: Root certificate is not issued by Tavorel! Subject DN of certificate: "
          "Nerolin Test Unrelated Root CA"}},
    };
    for (const Case& c : cases) {
        Chain chain(c.host, c.intermediate, c.root);
        const std::vector<CertificateChain> context{chain.chain};
        EntryWatch watch;
        EXPECT_EQ(CheckServerTrust(&context), c.trusted) << c.host;
        EXPECT_EQ(watch.Texts(), c.entries) << c.host;
    }
}

TEST(ServerTrust, AnyPassingChainOfTheContextIsEnough)
{
    Chain refused("host-2848-fake-orvane", "int-fake-orvane", "fake-orvane");
    Chain trusted("host-2848-root2", "int-root2", "root2-valdoro-2017");
    const std::vector<CertificateChain> context{refused.chain, trusted.chain};
    EXPECT_TRUE(CheckServerTrust(&context));
    const std::vector<CertificateChain> refusedOnly{refused.chain, CertificateChain{}};
    EntryWatch watch;
    EXPECT_FALSE(CheckServerTrust(&refusedOnly));
    ASSERT_EQ(watch.Texts().size(), 2u);
    EXPECT_EQ(watch.Texts()[1], "SSL/TLS connection: Root certificate is missing");
}

TEST(ServerTrust, NoContextAndNoChains)
{
    EntryWatch watch;
    EXPECT_FALSE(CheckServerTrust(nullptr));
    const std::vector<CertificateChain> empty;
    EXPECT_FALSE(CheckServerTrust(&empty));  // no entry for a context without chains
    EXPECT_EQ(watch.Texts(), std::vector<std::string>{"SSL/TLS connection: No certificate chain context"});
}

}  // namespace
}  // namespace nerolin::test
