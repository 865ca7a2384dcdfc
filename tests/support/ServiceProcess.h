#pragma once

// The reference service as a child of a test: the test holds its standard
// input, so the service ends with the test (--exit-with-stdin), and its
// output and errors go to a log file. The service is a Linux program: under
// Wine the Windows tests start the Linux build's, which Wine runs as a Unix
// process. Each system's part is in linux/ or windows/.

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace nerolin::test {

// The service program to start: the build's own on Linux, the Linux build's
// under Wine; empty when there is none to start.
std::string ServiceProgram();

// The host name the test's own HTTPS client gives the service, whose
// certificate names localhost and 127.0.0.1: 127.0.0.1 on Linux, localhost
// on Windows, where cpp-httplib built with MinGW checks no IP address of a
// certificate.
const char* ServiceHostName();

// A path that the service names (its SSL_CERT_FILE), as this process opens it.
std::string PathFromService(const std::string& servicePath);

class ServiceProcess {
public:
    // arguments[0] is the program. Started() tells whether it was started.
    ServiceProcess(const std::vector<std::string>& arguments, const std::string& logPath);
    // Closes the service's input and, where the system can, waits a bounded
    // time for its end before killing it.
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    bool Started() const;
    // False once the service is known to have ended. Under Wine a Unix
    // process's end cannot be seen: true while it was started.
    bool MayRun();
    pid_t Pid() const;  // -1 where the system gives none

    struct Handles;

private:
    std::unique_ptr<Handles> handles_;
};

}  // namespace nerolin::test
