#include "library/archive/AesCipher.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <stdexcept>

namespace {

const EVP_CIPHER* CipherFor(int keyBits, int mode)
{
    switch (keyBits) {
    case 128: return mode == AesCipher::CBC ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 192: return mode == AesCipher::CBC ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    case 256: return mode == AesCipher::CBC ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    default: return nullptr;
    }
}

} // namespace

AesCipher::AesCipher() : context_(EVP_CIPHER_CTX_new())
{
    if (!context_)
        throw std::runtime_error("Tables failed to initialize");
}

AesCipher::~AesCipher()
{
    OPENSSL_cleanse(key_.data(), key_.size());
    EVP_CIPHER_CTX_free(context_);
}

void AesCipher::SetSizes(int keyBits, int blockBits)
{
    const bool keyOk = keyBits == 128 || keyBits == 192 || keyBits == 256;
    // OpenSSL implements AES, whose block is always 128 bits: the wider Rijndael blocks
    // are not available (and never needed here).
    const bool blockOk = blockBits == 128;
    keyBits_ = keyOk && blockOk ? keyBits : 0;
    blockBits_ = keyOk && blockOk ? blockBits : 0;
    hasKey_ = false;
}

int AesCipher::Rounds() const
{
    return keyBits_ == 0 ? 0 : keyBits_ / 32 + 6;
}

void AesCipher::SetEncryptKey(const unsigned char* key)
{
    if (keyBits_ == 0 || !key)
        return;
    std::copy(key, key + keyBits_ / 8, key_.begin());
    hasKey_ = true;
    keyForEncryption_ = true;
}

void AesCipher::SetDecryptKey(const unsigned char* key)
{
    SetEncryptKey(key);
    keyForEncryption_ = false;
}

bool AesCipher::Encrypt(const unsigned char* in, unsigned char* out, int blocks, int mode)
{
    return Run(true, in, out, blocks, mode);
}

bool AesCipher::Decrypt(const unsigned char* in, unsigned char* out, int blocks, int mode)
{
    return Run(false, in, out, blocks, mode);
}

bool AesCipher::Run(bool encrypt, const unsigned char* in, unsigned char* out, int blocks, int mode)
{
    if ((mode != ECB && mode != CBC) || blocks <= 0 || !hasKey_ || keyForEncryption_ != encrypt)
        return false;
    const EVP_CIPHER* cipher = CipherFor(keyBits_, mode);
    if (!cipher)
        return false;
    // A fresh initialisation per call: CBC restarts from the zero vector every time.
    const unsigned char zeroIv[kBlockBytes] = {};
    if (EVP_CipherInit_ex(context_, cipher, nullptr, key_.data(), mode == CBC ? zeroIv : nullptr,
                          encrypt ? 1 : 0) != 1)
        return false;
    EVP_CIPHER_CTX_set_padding(context_, 0);
    int produced = 0;
    int finalBytes = 0;
    const int length = blocks * kBlockBytes;
    if (EVP_CipherUpdate(context_, out, &produced, in, length) != 1 ||
        EVP_CipherFinal_ex(context_, out + produced, &finalBytes) != 1)
        return false;
    return produced + finalBytes == length;
}
