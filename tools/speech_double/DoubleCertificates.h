#pragma once

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <string>
#include <vector>

namespace SpeechDouble {

// A throw-away certificate authority and a server certificate it signed, made with OpenSSL when
// asked (P-256 keys, valid from an hour ago for 30 days). The files written into the folder:
// "ca.pem" (what a client trusts: TALVORA_CA_FILE), "server.pem" and "server-key.pem" (for any
// other HTTPS test server, e.g. httplib::SSLServer).
class DoubleCertificates {
public:
    // `names` are what the server certificate is issued for: IPv4/IPv6 addresses become IP
    // entries, anything else DNS entries. Returns nullptr and fills `error` on failure.
    static std::unique_ptr<DoubleCertificates> Make(const std::string& folder, const std::vector<std::string>& names,
                                                    std::string* error);
    ~DoubleCertificates();
    DoubleCertificates(const DoubleCertificates&) = delete;
    DoubleCertificates& operator=(const DoubleCertificates&) = delete;

    const std::string& CaFile() const { return caFile_; }
    const std::string& ServerCertificateFile() const { return certFile_; }
    const std::string& ServerKeyFile() const { return keyFile_; }
    X509* ServerCertificate() const { return serverCert_; }
    EVP_PKEY* ServerKey() const { return serverKey_; }

private:
    DoubleCertificates() = default;

    EVP_PKEY* caKey_ = nullptr;
    X509* caCert_ = nullptr;
    EVP_PKEY* serverKey_ = nullptr;
    X509* serverCert_ = nullptr;
    std::string caFile_;
    std::string certFile_;
    std::string keyFile_;
};

}  // namespace SpeechDouble
