#pragma once
// A self-signed certificate for the TLS tests, made by the openssl program as a user
// would make one: CN=localhost, valid for IP 127.0.0.1 and the name localhost.
#include <string>

namespace velora::test {

struct TestCertificate {
    std::string certificateFile;
    std::string keyFile;
    // As `openssl x509 -noout -fingerprint -sha256` prints it ("sha256 Fingerprint=AB:..").
    std::string fingerprint;

    // Writes cert.pem and key.pem into `folder`; throws std::runtime_error when openssl
    // fails, so a broken set-up never passes for a result.
    static TestCertificate makeIn(const std::string& folder);
};

}  // namespace velora::test
