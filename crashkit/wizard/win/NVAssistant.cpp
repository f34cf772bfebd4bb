#include "wizard/win/NVAssistant.h"

#include "text/CaseFolding.h"
#include "win32/ModuleImage.h"

namespace {

std::wstring ResourceName(const UnicodeString& formName)
{
    return L"TZE" + WideOf(formName);
}

HMODULE ModuleWithForm(HMODULE module, const UnicodeString& firstForm)
{
    const std::wstring name = ResourceName(firstForm);
    if (module && FindResourceW(module, name.c_str(), reinterpret_cast<LPCWSTR>(RT_RCDATA)))
        return module;
    HMODULE own = nullptr;
    UnicodeString fileName;
    return GetModuleOfAddress(reinterpret_cast<const void*>(&ModuleWithForm), own, fileName) ? own : module;
}

} // namespace

TNVAssistant::TNVAssistant(UnicodeString title, const std::vector<std::string>& resources) : title_(std::move(title))
{
    const int count = static_cast<int>(resources.size());
    for (int i = 0; i < count; ++i) {
        const std::string& bytes = resources[static_cast<size_t>(i)];
        forms_.push_back(std::make_unique<TNVForm>(
            this, std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), i + 1, count));
    }
}

void TNVAssistant::SetTitle(UnicodeString title)
{
    title_ = std::move(title);
    for (const auto& form : forms_)
        form->SetTitle(title_);
}

TNVForm* TNVAssistant::Form(int index) const
{
    return index >= 0 && index < FormCount() ? forms_[static_cast<size_t>(index)].get() : nullptr;
}

TNVForm* TNVAssistant::FindForm(std::u16string_view name) const
{
    TNVForm* found = nullptr;
    for (const auto& form : forms_) {
        if (SameTextW(form->Name(), name))
            found = form.get();
    }
    return found;
}

void TNVAssistant::SetOnAction(TNVActionProc action, void* userValue)
{
    onAction_ = action;
    onActionValue_ = userValue;
}

void TNVAssistant::Notify(TNVForm& form, TNVAction action, TNVItem* item)
{
    if (onAction_)
        onAction_(form, action, item, onActionValue_);
}

TNVModalResult TNVAssistant::ShowModal(HWND owner)
{
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    result_ = TNVModalResult::Continue;
    for (const auto& form : forms_) {
        if (form->ShowModal(owner) == TNVModalResult::Cancel) {
            result_ = TNVModalResult::Cancel;
            break;
        }
    }
    if (ownerWasEnabled)
        EnableWindow(owner, TRUE);
    return result_;
}

std::unique_ptr<TNVAssistant> LoadAssistant(HMODULE module, UnicodeString title,
                                            const std::vector<UnicodeString>& formNames)
{
    const HMODULE source = formNames.empty() ? module : ModuleWithForm(module, formNames.front());
    std::vector<std::string> resources;
    for (const UnicodeString& name : formNames)
        resources.push_back(LoadResourceStr(source, reinterpret_cast<LPCWSTR>(RT_RCDATA), ResourceName(name).c_str()));
    return std::make_unique<TNVAssistant>(std::move(title), resources);
}
