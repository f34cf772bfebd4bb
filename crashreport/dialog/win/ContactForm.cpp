#include "dialog/win/ContactForm.h"

#include "dialog/EmailAddress.h"
#include "dialog/win/ReportFormsTarget.h"
#include "engine/win/RegistryText.h"

namespace {

constexpr char16_t ContactKey[] = u"Software\\Tesvik\\ContactForm";
constexpr char16_t NameValue[] = u"RememberName";
constexpr char16_t EmailValue[] = u"RememberEmail";

void FillRemembered(TNVForm& form)
{
    const TRememberedContact contact = ReadRememberedContact();
    if (contact.name.empty() && contact.email.empty())
        return;
    if (TNVEdit* name = form.Find<TNVEdit>(u"NameEdit"))
        name->SetText(contact.name);
    if (TNVEdit* email = form.Find<TNVEdit>(u"EmailEdit"))
        email->SetText(contact.email);
    if (TNVCheckBox* remember = form.Find<TNVCheckBox>(u"MemCheck"))
        remember->SetChecked(true);
}

UnicodeString TextOf(const TNVForm& form, std::u16string_view name)
{
    const TNVEdit* edit = form.Find<TNVEdit>(name);
    return edit ? edit->Text() : UnicodeString();
}

// Leaving the form forward: remember or forget, and make the address the report's sender.
void TakeContact(TNVForm& form)
{
    const TRememberedContact contact{TextOf(form, u"NameEdit"), TextOf(form, u"EmailEdit")};
    const TNVCheckBox* remember = form.Find<TNVCheckBox>(u"MemCheck");
    if (remember && remember->Checked())
        RememberContact(contact);
    else
        ForgetContact();
    IReportFormsTarget* target = FormsTargetOf(form);
    if (const std::optional<UnicodeString> sender = ContactMailFrom(contact.name, contact.email); sender && target)
        target->SetMailFrom(*sender);
}

} // namespace

TRememberedContact ReadRememberedContact()
{
    return {RegReadStr(HKEY_CURRENT_USER, ContactKey, NameValue), RegReadStr(HKEY_CURRENT_USER, ContactKey, EmailValue)};
}

void RememberContact(const TRememberedContact& contact)
{
    RegWriteStr(HKEY_CURRENT_USER, ContactKey, NameValue, contact.name);
    RegWriteStr(HKEY_CURRENT_USER, ContactKey, EmailValue, contact.email);
}

void ForgetContact()
{
    RegDeleteValueText(HKEY_CURRENT_USER, ContactKey, NameValue);
    RegDeleteValueText(HKEY_CURRENT_USER, ContactKey, EmailValue);
}

void HandleContactForm(TNVForm& form, TNVAction action, TNVItem* item, void*)
{
    if (action == TNVAction::Show) {
        FillRemembered(form);
        return;
    }
    if (action != TNVAction::Change || !item)
        return;
    if (item->Name() == u"EmailEdit") {
        if (auto* email = dynamic_cast<TNVEdit*>(item))
            email->SetValid(IsValidEmail(email->Text()));
    } else if (item == &form.ContinueButton()) {
        TakeContact(form);
    }
}
