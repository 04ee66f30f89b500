// OpenSSL's libcrypto is opened on its first use (a digest, a Base64 text), not when the program
// starts: the dynamic loader would otherwise bind its thousands of symbols before main, and the
// first window needs none of them. These definitions stand in for the functions the program calls
// and forward to the library (see LazyLibrary.h).
#include "base/platform/LazyLibrary.h"

#include <openssl/evp.h>

namespace {

LazyLibrary& Crypto()
{
    static LazyLibrary library("libcrypto.so.3");
    return library;
}

}  // namespace

#pragma GCC visibility push(hidden)
extern "C" {

const EVP_MD* EVP_md5(void)
{
    TALVORA_REAL_FUNCTION(Crypto(), EVP_md5);
    return real != nullptr ? real() : nullptr;
}

const EVP_MD* EVP_sha1(void)
{
    TALVORA_REAL_FUNCTION(Crypto(), EVP_sha1);
    return real != nullptr ? real() : nullptr;
}

int EVP_Digest(const void* data, size_t count, unsigned char* md, unsigned int* size, const EVP_MD* type, ENGINE* impl)
{
    TALVORA_REAL_FUNCTION(Crypto(), EVP_Digest);
    return real != nullptr ? real(data, count, md, size, type, impl) : 0;
}

EVP_MD_CTX* EVP_MD_CTX_new(void)
{
    TALVORA_REAL_FUNCTION(Crypto(), EVP_MD_CTX_new);
    return real != nullptr ? real() : nullptr;
}

void EVP_MD_CTX_free(EVP_MD_CTX* ctx)
{
    TALVORA_REAL_FUNCTION(Crypto(), EVP_MD_CTX_free);
    if (real != nullptr)
        real(ctx);
}

int EVP_DigestInit_ex(EVP_MD_CTX* ctx, const EVP_MD* type, ENGINE* impl)
{
    TALVORA_REAL_FUNCTION(Crypto(), EVP_DigestInit_ex);
    return real != nullptr ? real(ctx, type, impl) : 0;
}

int EVP_DigestUpdate(EVP_MD_CTX* ctx, const void* d, size_t cnt)
{
    TALVORA_REAL_FUNCTION(Crypto(), EVP_DigestUpdate);
    return real != nullptr ? real(ctx, d, cnt) : 0;
}

int EVP_DigestFinal_ex(EVP_MD_CTX* ctx, unsigned char* md, unsigned int* s)
{
    TALVORA_REAL_FUNCTION(Crypto(), EVP_DigestFinal_ex);
    return real != nullptr ? real(ctx, md, s) : 0;
}

// Nothing is encoded without the library: the length written is 0.
int EVP_EncodeBlock(unsigned char* t, const unsigned char* f, int n)
{
    TALVORA_REAL_FUNCTION(Crypto(), EVP_EncodeBlock);
    if (real != nullptr)
        return real(t, f, n);
    *t = '\0';
    return 0;
}

}  // extern "C"
#pragma GCC visibility pop
