// The contact form's name and address kept in the registry across runs.
#include "dialog/win/ContactForm.h"

#include <gtest/gtest.h>

#include "ContactRegistryGuard.h"
#include "engine/win/RegistryText.h"

namespace {

TEST(ContactMemoryTest, RememberedValuesAreReadBackAndForgotten)
{
    const TContactRegistryGuard guard;
    RememberContact({u"Ann Smith", u"ann@example.org"});
    EXPECT_EQ(RegReadStr(HKEY_CURRENT_USER, u"Software\\Tesvik\\ContactForm", u"RememberName"), u"Ann Smith");
    const TRememberedContact read = ReadRememberedContact();
    EXPECT_EQ(read.name, u"Ann Smith");
    EXPECT_EQ(read.email, u"ann@example.org");

    ForgetContact();
    EXPECT_FALSE(guard.ValueExists(u"RememberName"));
    EXPECT_FALSE(guard.ValueExists(u"RememberEmail"));
    const TRememberedContact forgotten = ReadRememberedContact();
    EXPECT_TRUE(forgotten.name.empty() && forgotten.email.empty());
}

} // namespace
