#include "crypto/Blowfish.h"

#include <array>

#include "crypto/BlowfishTables.h"

namespace {

constexpr int kRounds = 16;
constexpr size_t kBlock = 8;

class TBlowfish {
public:
    explicit TBlowfish(std::string_view key) : p_(kBlowfishInitialP), s_(kBlowfishInitialS)
    {
        size_t next = 0;
        for (uint32_t& entry : p_) {
            uint32_t keyWord = 0;
            for (int i = 0; i < 4; ++i) {
                keyWord = keyWord << 8 | static_cast<uint8_t>(key[next]);
                next = (next + 1) % key.size();
            }
            entry ^= keyWord;
        }
        uint32_t left = 0;
        uint32_t right = 0;
        for (size_t i = 0; i < p_.size(); i += 2) {
            Encipher(left, right);
            p_[i] = left;
            p_[i + 1] = right;
        }
        for (auto& box : s_) {
            for (size_t i = 0; i < box.size(); i += 2) {
                Encipher(left, right);
                box[i] = left;
                box[i + 1] = right;
            }
        }
    }

    void Encipher(uint32_t& left, uint32_t& right) const
    {
        for (int round = 0; round < kRounds; ++round) {
            left ^= p_[round];
            right ^= F(left);
            std::swap(left, right);
        }
        std::swap(left, right);
        right ^= p_[kRounds];
        left ^= p_[kRounds + 1];
    }

    void Decipher(uint32_t& left, uint32_t& right) const
    {
        for (int round = kRounds + 1; round > 1; --round) {
            left ^= p_[round];
            right ^= F(left);
            std::swap(left, right);
        }
        std::swap(left, right);
        right ^= p_[1];
        left ^= p_[0];
    }

private:
    uint32_t F(uint32_t x) const
    {
        return ((s_[0][x >> 24] + s_[1][x >> 16 & 0xFF]) ^ s_[2][x >> 8 & 0xFF]) + s_[3][x & 0xFF];
    }

    std::array<uint32_t, 18> p_;
    std::array<std::array<uint32_t, 256>, 4> s_;
};

uint32_t LoadHalf(const uint8_t* bytes, bool raw)
{
    if (raw)
        return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | uint32_t{bytes[3]};
}

void StoreHalf(uint8_t* bytes, uint32_t value, bool raw)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (raw ? 8 * i : 24 - 8 * i));
}

void CryptBlock(const TBlowfish& cipher, uint8_t* block, bool encipher, bool raw)
{
    uint32_t left = LoadHalf(block, raw);
    uint32_t right = LoadHalf(block + 4, raw);
    if (encipher)
        cipher.Encipher(left, right);
    else
        cipher.Decipher(left, right);
    StoreHalf(block, left, raw);
    StoreHalf(block + 4, right, raw);
}

void StepCounter(std::array<uint8_t, kBlock>& counter)
{
    for (size_t i = kBlock; i-- > 0;) {
        if (++counter[i] != 0)
            break;
    }
}

void CounterMode(const TBlowfish& cipher, uint8_t* data, size_t blocks, uint64_t iv)
{
    std::array<uint8_t, kBlock> counter;
    for (size_t i = 0; i < kBlock; ++i)
        counter[i] = static_cast<uint8_t>(iv >> (8 * i));
    for (size_t block = 0; block < blocks; ++block) {
        StepCounter(counter);
        std::array<uint8_t, kBlock> keystream = counter;
        CryptBlock(cipher, keystream.data(), true, false);
        for (size_t i = 0; i < kBlock; ++i)
            data[block * kBlock + i] ^= keystream[i];
    }
}

} // namespace

bool BlowfishCrypt(void* data, size_t length, bool encipher, bool raw, uint64_t iv, std::string_view key)
{
    if (key.empty())
        return false;
    const TBlowfish cipher(key);
    auto bytes = static_cast<uint8_t*>(data);
    const size_t blocks = length / kBlock;
    if (iv != 0) {
        CounterMode(cipher, bytes, blocks, iv);
        return true;
    }
    for (size_t block = 0; block < blocks; ++block)
        CryptBlock(cipher, bytes + block * kBlock, encipher, raw);
    return true;
}

bool EncryptRaw(std::string& data, std::string_view key)
{
    return BlowfishCrypt(data.data(), data.size(), true, true, 0, key);
}

bool DecryptRaw(std::string& data, std::string_view key)
{
    return BlowfishCrypt(data.data(), data.size(), false, true, 0, key);
}

bool DecryptStr(std::string& data, std::string_view key, uint64_t iv)
{
    if (data.empty())
        return !key.empty();
    if (!BlowfishCrypt(data.data(), data.size(), false, false, iv, key))
        return false;
    const size_t padding = static_cast<uint8_t>(data.back());
    if (padding < 1 || padding > kBlock || padding > data.size())
        return true;
    for (size_t i = data.size() - padding; i < data.size(); ++i) {
        if (static_cast<uint8_t>(data[i]) != padding)
            return true;
    }
    data.resize(data.size() - padding);
    return true;
}
