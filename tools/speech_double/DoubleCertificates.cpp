#include "speech_double/DoubleCertificates.h"

#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cstdio>

namespace SpeechDouble {

namespace {

std::string OpenSslError(const char* what)
{
    char text[256] = {};
    ERR_error_string_n(ERR_get_error(), text, sizeof text);
    return std::string(what) + ": " + text;
}

bool IsIpAddress(const std::string& name)
{
    unsigned char buffer[16];
    return inet_pton(AF_INET, name.c_str(), buffer) == 1 || inet_pton(AF_INET6, name.c_str(), buffer) == 1;
}

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (extension == nullptr)
        return false;
    const bool added = X509_add_ext(cert, extension, -1) == 1;
    X509_EXTENSION_free(extension);
    return added;
}

X509* MakeCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer, EVP_PKEY* issuerKey,
                      const std::vector<std::pair<int, std::string>>& extensions)
{
    X509* cert = X509_new();
    if (cert == nullptr)
        return nullptr;
    unsigned char serial[16];
    bool ok = X509_set_version(cert, 2) == 1 && RAND_bytes(serial, sizeof serial) == 1;
    if (ok) {
        serial[0] &= 0x7f;  // a positive serial number
        BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
        ok = number != nullptr && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert)) != nullptr;
        BN_free(number);
    }
    ok = ok && X509_gmtime_adj(X509_getm_notBefore(cert), -3600) != nullptr &&
         X509_gmtime_adj(X509_getm_notAfter(cert), 30L * 86400) != nullptr && X509_set_pubkey(cert, key) == 1;
    X509_NAME* name = X509_get_subject_name(cert);
    ok = ok && X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                                          reinterpret_cast<const unsigned char*>("Talvora speech double"), -1, -1,
                                          0) == 1 &&
         X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                    reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0) == 1;
    X509* signer = issuer != nullptr ? issuer : cert;
    ok = ok && X509_set_issuer_name(cert, X509_get_subject_name(signer)) == 1;
    for (const auto& [nid, value] : extensions)
        ok = ok && AddExtension(cert, signer, nid, value);
    ok = ok && X509_sign(cert, issuerKey, EVP_sha256()) > 0;
    if (!ok) {
        X509_free(cert);
        return nullptr;
    }
    return cert;
}

bool WritePem(const std::string& path, X509* cert, EVP_PKEY* key)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = cert != nullptr ? PEM_write_X509(file, cert) == 1
                                    : PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    return std::fclose(file) == 0 && ok;
}

}  // namespace

std::unique_ptr<DoubleCertificates> DoubleCertificates::Make(const std::string& folder,
                                                             const std::vector<std::string>& names,
                                                             std::string* error)
{
    std::unique_ptr<DoubleCertificates> made(new DoubleCertificates());
    auto fail = [&](const std::string& text) {
        if (error != nullptr)
            *error = text;
        return nullptr;
    };
    if (names.empty())
        return fail("no names for the server certificate");

    made->caKey_ = EVP_EC_gen("P-256");
    made->serverKey_ = EVP_EC_gen("P-256");
    if (made->caKey_ == nullptr || made->serverKey_ == nullptr)
        return fail(OpenSslError("key generation"));

    made->caCert_ = MakeCertificate(made->caKey_, "Talvora speech double test CA", nullptr, made->caKey_,
                                    {{NID_basic_constraints, "critical,CA:TRUE"},
                                     {NID_key_usage, "critical,keyCertSign,cRLSign"},
                                     {NID_subject_key_identifier, "hash"}});
    if (made->caCert_ == nullptr)
        return fail(OpenSslError("CA certificate"));

    std::string altNames;
    for (const std::string& name : names)
        altNames += (altNames.empty() ? "" : ",") + std::string(IsIpAddress(name) ? "IP:" : "DNS:") + name;
    made->serverCert_ = MakeCertificate(made->serverKey_, names.front(), made->caCert_, made->caKey_,
                                        {{NID_basic_constraints, "critical,CA:FALSE"},
                                         {NID_key_usage, "critical,digitalSignature"},
                                         {NID_ext_key_usage, "serverAuth"},
                                         {NID_subject_alt_name, altNames},
                                         {NID_authority_key_identifier, "keyid:always"}});
    if (made->serverCert_ == nullptr)
        return fail(OpenSslError("server certificate"));

    made->caFile_ = folder + "/ca.pem";
    made->certFile_ = folder + "/server.pem";
    made->keyFile_ = folder + "/server-key.pem";
    if (!WritePem(made->caFile_, made->caCert_, nullptr) || !WritePem(made->certFile_, made->serverCert_, nullptr) ||
        !WritePem(made->keyFile_, nullptr, made->serverKey_))
        return fail("cannot write the certificate files into " + folder);
    return made;
}

DoubleCertificates::~DoubleCertificates()
{
    X509_free(serverCert_);
    X509_free(caCert_);
    EVP_PKEY_free(serverKey_);
    EVP_PKEY_free(caKey_);
}

}  // namespace SpeechDouble
