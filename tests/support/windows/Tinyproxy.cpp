#include "tests/support/Tinyproxy.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/FreePort.h"

namespace nerolin::test {
namespace {

std::string ReadText(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

// The fixture's folder holds "port", "user", "password" and the log.
Tinyproxy::Tinyproxy(const std::string&, const std::string& user, const std::string& password)
{
    const char* folder = std::getenv("NEROLIN_TINYPROXY_DIR");
    if (folder == nullptr) return;
    const std::string base = folder;
    logFile_ = base + "/tinyproxy.log";
    if (ReadText(base + "/user") != user || ReadText(base + "/password") != password) return;
    port_ = std::atoi(ReadText(base + "/port").c_str());
    running_ = port_ > 0 && Accepts(port_);
}

// The fixture's cleanup ends it.
Tinyproxy::~Tinyproxy() = default;

std::string Tinyproxy::Log() const { return ReadText(logFile_); }

}  // namespace nerolin::test
