#pragma once
// The passwords of the settings resource are stored enciphered; they are deciphered when a
// module's settings are loaded. tools/settings/make_settings_resource.py enciphers them.
//
// Key: the 8-bit text "zelExcept-password|" + server + "|" + account, server and account in
// UTF-8. Plain text: the password in UTF-8, padded to whole 8-byte blocks with n bytes of value n
// (1 to 8, always present). Stored text: the Base64 of that enciphered with Blowfish (standard
// byte order, block by block).
#include <string_view>
#include <vector>

#include "settings/SettingKinds.h"

// The plain password; empty for an empty stored text and for one that is not a cipher text of
// this key (so that a stored cipher text is never sent as the password itself).
UnicodeString DecipherStoredPassword(std::u16string_view server, std::u16string_view account,
                                     std::u16string_view stored);

// Replaces each stored password text of a module's records by its plain text: SmtpPassword with
// SmtpServer and SmtpAccount, HttpPassword with HttpServer and HttpAccount, BugTrPassword with
// HttpServer and BugTrAccount. The first record of a name counts, as for every look-up.
void DecipherStoredPasswords(std::vector<TSettingValue>& records);
