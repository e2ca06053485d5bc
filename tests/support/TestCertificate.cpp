#include "support/TestCertificate.h"

#include <stdexcept>

#include "platform/BoundedCommand.h"

namespace velora::test {
namespace {

constexpr const char* kOpenssl = "/usr/bin/openssl";

CommandResult run(const std::vector<std::string>& argv) {
    const CommandResult result = runBounded(argv, {}, CommandLimits{30000, 400});
    if (!result.started || result.exitCode != 0) {
        throw std::runtime_error("openssl failed: " + argv[1] + ": " + result.error + result.firstLine);
    }
    return result;
}

}  // namespace

TestCertificate TestCertificate::makeIn(const std::string& folder) {
    TestCertificate made{folder + "/cert.pem", folder + "/key.pem", ""};
    run({kOpenssl, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=localhost", "-addext",
         "subjectAltName=IP:127.0.0.1,DNS:localhost", "-keyout", made.keyFile, "-out", made.certificateFile});
    made.fingerprint = run({kOpenssl, "x509", "-noout", "-fingerprint", "-sha256", "-in", made.certificateFile}).firstLine;
    if (made.fingerprint.find("Fingerprint=") == std::string::npos) {
        throw std::runtime_error("openssl printed no fingerprint: " + made.fingerprint);
    }
    return made;
}

}  // namespace velora::test
