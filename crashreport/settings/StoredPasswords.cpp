#include "settings/StoredPasswords.h"

#include <algorithm>

#include "crypto/Base64.h"
#include "crypto/Blowfish.h"
#include "text/Utf.h"

namespace {

constexpr char kKeyPrefix[] = "zelExcept-password|";
constexpr size_t kBlock = 8;

struct TStoredPassword {
    const char* password;
    const char* server;
    const char* account;
};

constexpr TStoredPassword kStoredPasswords[] = {
    {"SmtpPassword", "SmtpServer", "SmtpAccount"},
    {"HttpPassword", "HttpServer", "HttpAccount"},
    {"BugTrPassword", "HttpServer", "BugTrAccount"},
};

bool RemovePadding(std::string& plain)
{
    const size_t padding = plain.empty() ? 0 : static_cast<uint8_t>(plain.back());
    if (padding < 1 || padding > kBlock || padding > plain.size())
        return false;
    if (!std::all_of(plain.end() - static_cast<ptrdiff_t>(padding), plain.end(),
                     [padding](char c) { return static_cast<uint8_t>(c) == padding; }))
        return false;
    plain.resize(plain.size() - padding);
    return true;
}

TSettingValue* FirstRecord(std::vector<TSettingValue>& records, std::string_view name)
{
    const auto found =
        std::find_if(records.begin(), records.end(), [name](const TSettingValue& record) { return record.name == name; });
    return found == records.end() ? nullptr : &*found;
}

UnicodeString TextOf(std::vector<TSettingValue>& records, std::string_view name)
{
    const TSettingValue* record = FirstRecord(records, name);
    return record && record->kind == TSettingKind::Text ? record->text : UnicodeString();
}

} // namespace

UnicodeString DecipherStoredPassword(std::u16string_view server, std::u16string_view account,
                                     std::u16string_view stored)
{
    std::string cipher = DecodeBase64Str(WideToUTF8(stored));
    if (cipher.empty() || cipher.size() % kBlock != 0)
        return {};
    const std::string key = kKeyPrefix + WideToUTF8(server) + "|" + WideToUTF8(account);
    if (!BlowfishCrypt(cipher.data(), cipher.size(), false, false, 0, key) || !RemovePadding(cipher))
        return {};
    return UTF8ToWide(cipher);
}

void DecipherStoredPasswords(std::vector<TSettingValue>& records)
{
    for (const TStoredPassword& stored : kStoredPasswords) {
        TSettingValue* password = FirstRecord(records, stored.password);
        if (!password || password->kind != TSettingKind::Text || password->text.empty())
            continue;
        password->text = DecipherStoredPassword(TextOf(records, stored.server), TextOf(records, stored.account),
                                                password->text);
    }
}
