// The web application's page of a session, fetched over the service's HTTPS:
// what the admin request put into the session reaches the page as text, never
// as markup, and the link is the session's own.

#include <string>

#include <gtest/gtest.h>

#include "tests/support/DevService.h"

namespace nerolin::test {
namespace {

TEST(WebAppPage, ShowsTheSessionAsTextWithItsLinkAndAnswers404ForAnUnknownSession)
{
    DevService service;
    ASSERT_TRUE(service.Running()) << service.Log();
    auto session = service.CreateSession(
        R"({"mode":"SELECT_CERTIFICATE_AND_SIGN","SPName":"Bank & <Co>","message":"<script>alert('x')</script>",)"
        R"("documents":[{"documentId":"d\"1","name":"a<b>.pdf"},{"name":"plain.pdf"}]})");
    ASSERT_TRUE(session);

    DevService::Reply page = service.Call("GET", "/webapp/sessions/" + session->sessionId);
    ASSERT_EQ(page.status, 200) << page.body;
    for (const char* escaped : {"Bank &amp; &lt;Co&gt;", "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;",
                                "data-document=\"d&quot;1\"", ">a&lt;b&gt;.pdf</a>", ">plain.pdf</a>"})
        EXPECT_NE(page.body.find(escaped), std::string::npos) << escaped;
    EXPECT_EQ(page.body.find("<script>alert"), std::string::npos);
    EXPECT_EQ(page.body.find("<Co>"), std::string::npos);
    EXPECT_NE(page.body.find("<a id=\"sign\" class=\"sign\" href=\"" + session->link + "\">Sign with Nerolin</a>"),
              std::string::npos);
    EXPECT_NE(page.body.find("data-session=\"" + session->sessionId + "\""), std::string::npos);
    // Nothing from elsewhere: the page works where the service runs, offline.
    EXPECT_EQ(page.body.find("http://"), std::string::npos);
    EXPECT_EQ(page.body.find("src="), std::string::npos);

    EXPECT_EQ(service.Call("GET", "/webapp/sessions/no-such-session").status, 404);
}

}  // namespace
}  // namespace nerolin::test
