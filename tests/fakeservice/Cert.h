#pragma once

#include <memory>
#include <string>

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace fakeservice {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509* cert) const { X509_free(cert); }
};

/// A self-signed certificate for 127.0.0.1 and localhost, made fresh at every start.
struct SelfSigned {
    std::unique_ptr<EVP_PKEY, KeyFree> key;
    std::unique_ptr<X509, CertFree> cert;
    std::string pem; ///< the certificate, for clients that are to trust it
};

/// Empty members when OpenSSL fails.
SelfSigned make_self_signed(const std::string& common_name);

} // namespace fakeservice
