#include "tools/devservice/WebAppPage.h"

namespace nerolin::devservice {
namespace {

// The page's fixed parts. {{NAME}} marks where escaped session texts go.
constexpr const char* kHead = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{{SP_NAME}}: sign the documents</title>
<style>
body { font-family: "DejaVu Sans", sans-serif; margin: 0; background: #f3f5f8; color: #1c2430; }
header { background: #1f5fa8; color: #fff; padding: 14px 32px; font-size: 15px; }
main { max-width: 720px; margin: 28px auto; background: #fff; padding: 24px 32px 28px;
       border-radius: 8px; box-shadow: 0 1px 4px rgba(0, 0, 0, 0.15); }
h1 { font-size: 22px; margin: 0 0 8px; }
h2 { font-size: 16px; margin: 24px 0 8px; }
table { border-collapse: collapse; width: 100%; }
td { padding: 8px 4px; border-bottom: 1px solid #e1e5eb; }
td.verdict { text-align: right; color: #5b6573; }
td.verdict.valid { color: #1b7a33; font-weight: bold; }
td.verdict.invalid { color: #b3261e; font-weight: bold; }
a.sign { display: inline-block; margin-top: 20px; padding: 10px 22px; background: #1f5fa8; color: #fff;
         border-radius: 6px; text-decoration: none; font-weight: bold; }
a.sign.done { background: #9aa5b3; pointer-events: none; }
#status { margin-top: 20px; padding: 10px 14px; border-radius: 6px; background: #eef2f7; }
#status[data-state="FINISHED"] { background: #e3f4e7; }
#status[data-state="ERROR"], #status[data-state="UNREACHABLE"] { background: #fbe4e2; }
p.hint { color: #5b6573; font-size: 13px; }
</style>
</head>
)html";

constexpr const char* kScript = R"html(<script>
"use strict";
(function () {
  const sessionId = document.body.dataset.session;
  const status = document.getElementById("status");
  const waiting = {
    WAITING_FOR_CONFIG_GOT: "Waiting for Nerolin to open the session.",
    WAITING_FOR_CERTIFICATE: "Nerolin has opened the session: waiting for the certificate.",
    WAITING_FOR_UNSIGNED_HASHES: "The certificate has arrived: preparing the hashes.",
    WAITING_FOR_SIGNED_HASHES: "Waiting for the signatures."
  };
  function show(state, text) {
    status.dataset.state = state;
    status.textContent = text;
  }
  function verdicts(report) {
    let verified = 0;
    for (const documentReport of report.documents) {
      const row = document.querySelector('tr[data-document="' + CSS.escape(documentReport.documentId) + '"]');
      if (!row) continue;
      const cell = row.querySelector("td.verdict");
      if (documentReport.signatureValid === true) {
        cell.textContent = "signature verified";
        cell.className = "verdict valid";
        verified++;
      } else if (documentReport.signatureValid === false) {
        cell.textContent = "signature NOT verified: " + documentReport.detail;
        cell.className = "verdict invalid";
      } else if (report.state === "FINISHED" || report.state === "ERROR") {
        cell.textContent = "not signed";
      }
    }
    return verified;
  }
  function update(report) {
    const verified = verdicts(report);
    if (report.state === "FINISHED") {
      let text = "Finished.";
      if (report.mode === "SELECT_CERTIFICATE") text = "Finished: the certificate has arrived.";
      else if (report.mode === "TEST") text = "Finished: Nerolin reached the service.";
      else if (verified === report.documents.length) text = "Finished: every signature verified.";
      show("FINISHED", text);
    } else if (report.state === "ERROR") {
      show("ERROR", "Ended with an error: " + (report.conclusion || report.resultMessage.message || "no reason given"));
    } else {
      show(report.state, waiting[report.state] || report.state);
      return true;
    }
    document.getElementById("sign").classList.add("done");
    return false;
  }
  function poll() {
    fetch("/admin/sessions/" + encodeURIComponent(sessionId), { cache: "no-store" })
      .then(function (answer) {
        if (!answer.ok) throw new Error("status " + answer.status);
        return answer.json();
      })
      .then(function (report) { if (update(report)) setTimeout(poll, 1000); })
      .catch(function () {
        show("UNREACHABLE", "The service does not answer; trying again.");
        setTimeout(poll, 3000);
      });
  }
  poll();
})();
</script>
)html";

void Replace(std::string& text, const std::string& mark, const std::string& value)
{
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
        text.replace(at, mark.size(), value);
}

}  // namespace

std::string EscapeHtml(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string WebAppPageHtml(const DevSession& session, const std::string& link)
{
    std::string page = kHead;
    Replace(page, "{{SP_NAME}}", EscapeHtml(session.spName));
    page += "<body data-session=\"" + EscapeHtml(session.sessionId) + "\">\n";
    page += "<header>" + EscapeHtml(session.spName) + " &middot; reference web application</header>\n<main>\n";
    page += "<h1>Sign the documents of this session</h1>\n";
    page += "<p class=\"message\">" + EscapeHtml(session.message) + "</p>\n";
    if (!session.documents.empty()) {
        page += "<h2>Documents</h2>\n<table id=\"documents\">\n";
        for (const SessionDocument& document : session.documents) {
            page += "<tr data-document=\"" + EscapeHtml(document.documentId) + "\"><td><a href=\"" +
                    EscapeHtml(document.downloadUrl) + "\">" + EscapeHtml(document.name) +
                    "</a></td><td class=\"verdict\">waiting for the signature</td></tr>\n";
        }
        page += "</table>\n";
    }
    page += "<a id=\"sign\" class=\"sign\" href=\"" + EscapeHtml(link) + "\">Sign with Nerolin</a>\n";
    page += "<div id=\"status\" data-state=\"" + EscapeHtml(session.state) + "\">Loading the session's state.</div>\n";
    page += "<p class=\"hint\">The link starts Nerolin, the signing agent installed on this computer. Session " +
            EscapeHtml(session.sessionId) + ", mode " + EscapeHtml(session.mode) + ".</p>\n</main>\n";
    page += kScript;
    page += "</body>\n</html>\n";
    return page;
}

}  // namespace nerolin::devservice
