#pragma once

#include <array>
#include <cstdint>

struct evp_cipher_ctx_st;

// A thin wrapper around OpenSSL's AES block cipher, used for the encrypted records of
// stock-content packages (AES-128). Blocks are processed without padding: callers pad.
//
// Each Encrypt/Decrypt call is independent: CBC starts from a zero initialisation vector
// at every call. One object is used by one thread at a time; separate objects are
// independent.
class AesCipher
{
public:
    enum Mode { ECB = 0, CBC = 1 };
    static constexpr int kBlockBytes = 16;

    // Throws std::runtime_error("Tables failed to initialize") when OpenSSL cannot give a
    // cipher context.
    AesCipher();
    ~AesCipher();
    AesCipher(const AesCipher&) = delete;
    AesCipher& operator=(const AesCipher&) = delete;

    // Key and block size in bits. Keys of 128, 192 or 256 bits are supported with AES's
    // 128-bit block; any other combination leaves the cipher unset (every call fails).
    void SetSizes(int keyBits, int blockBits);
    int KeyBits() const { return keyBits_; }
    int BlockBits() const { return blockBits_; }
    // Rounds of the cipher for the set sizes (10, 12 or 14); 0 when unset.
    int Rounds() const;

    // Both keep a copy of the key (KeyBits()/8 bytes) for the direction named.
    void SetEncryptKey(const unsigned char* key);
    void SetDecryptKey(const unsigned char* key);

    // Process `blocks` blocks of 16 bytes from `in` to `out` (which may be the same
    // buffer). False, with nothing written, for another mode, no blocks, no key or
    // sizes, or a failure of the library.
    bool Encrypt(const unsigned char* in, unsigned char* out, int blocks, int mode);
    bool Decrypt(const unsigned char* in, unsigned char* out, int blocks, int mode);

private:
    bool Run(bool encrypt, const unsigned char* in, unsigned char* out, int blocks, int mode);

    evp_cipher_ctx_st* context_ = nullptr;
    int keyBits_ = 0;
    int blockBits_ = 0;
    std::array<unsigned char, 32> key_{};
    bool hasKey_ = false;
    bool keyForEncryption_ = false;
};
