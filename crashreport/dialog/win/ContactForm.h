#pragma once
// The contact form: the user's name and e-mail address, remembered across runs in the
// registry when asked, and the address checked as it is typed.
#include "text/ZelTypes.h"
#include "wizard/win/NVForm.h"

struct TRememberedContact {
    UnicodeString name;
    UnicodeString email;
};

// HKEY_CURRENT_USER "Software\Tesvik\ContactForm", values "RememberName" and "RememberEmail".
TRememberedContact ReadRememberedContact();
void RememberContact(const TRememberedContact& contact);
void ForgetContact();

// The form's action routine ("zelExcept.HandleContactForm").
void HandleContactForm(TNVForm& form, TNVAction action, TNVItem* item, void* userValue);
