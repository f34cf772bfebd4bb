#include "dialog/box/win/ExceptionAssistant.h"

#include <memory>
#include <string>

#include "dialog/box/AssistantList.h"
#include "dialog/win/ReportFormsTarget.h"
#include "handlers/HandlerLists.h"
#include "settings/FieldsList.h"
#include "text/NumberFormat.h"
#include "wizard/win/NVAssistant.h"
#include "wizard/win/NVItems.h"

namespace {

void SetField(const TReportFieldsRef& list, const UnicodeString& name, const UnicodeString& value)
{
    if (list)
        list->SetValue(name, value);
}

void CopyItem(const TNVItem& item, IZEException& exception)
{
    if (item.OutputName().empty())
        return;
    if (const auto* edit = dynamic_cast<const TNVEdit*>(&item)) {
        const UnicodeString text = edit->Text();
        if (text.empty())
            return;
        if (edit->OutputOwnSection() && edit->Lines() > 1)
            SetField(exception.GetBugReportSections(), item.OutputName(), text);
        else
            SetField(exception.GetBugReportHeader(), item.OutputName(), text);
    } else if (const auto* checkBox = dynamic_cast<const TNVCheckBox*>(&item)) {
        SetField(exception.GetBugReportHeader(), item.OutputName(), checkBox->Checked() ? u"yes" : u"no");
    }
}

void CollectItem(const TNVItem& item, TIZEFields& fields)
{
    if (const auto* edit = dynamic_cast<const TNVEdit*>(&item))
        fields.SetValue(item.Name(), edit->Text());
    else if (const auto* checkBox = dynamic_cast<const TNVCheckBox*>(&item))
        fields.SetValue(item.Name(), BoolToSignW(checkBox->Checked()));
}

template <typename Visit>
void ForEachItemGoneThrough(const TNVAssistant& assistant, const Visit& visit)
{
    for (int formIndex = 0; formIndex < assistant.FormCount(); ++formIndex) {
        const TNVForm* form = assistant.Form(formIndex);
        if (!form || form->ModalResult() != TNVModalResult::Continue)
            continue;
        for (int itemIndex = 0; itemIndex < form->ItemCount(); ++itemIndex)
            if (const TNVItem* item = form->Item(itemIndex))
                visit(*item);
    }
}

// The edits and check boxes named like a field start with its value ("+" checks a box).
void CopyFieldsToAssistant(TIZEFields& fields, const TNVAssistant& assistant)
{
    for (int formIndex = 0; formIndex < assistant.FormCount(); ++formIndex) {
        const TNVForm* form = assistant.Form(formIndex);
        for (int itemIndex = 0; form && itemIndex < form->ItemCount(); ++itemIndex) {
            TNVItem* item = form->Item(itemIndex);
            if (!item || fields.IndexOf(item->Name()) < 0)
                continue;
            if (auto* edit = dynamic_cast<TNVEdit*>(item))
                edit->SetText(fields.Value(item->Name()));
            else if (auto* checkBox = dynamic_cast<TNVCheckBox*>(item))
                checkBox->SetChecked(fields.Value(item->Name()) == u"+");
        }
    }
}

// The assistant of that name with the fields' values filled in; null when the settings define
// none of that name or its forms cannot be loaded.
std::unique_ptr<TNVAssistant> LoadFilledAssistant(TIZEException& exception, std::u16string_view name)
{
    IZEModuleSettings& settings = exception.Settings();
    const auto definition = FindAssistant(
        [&](int number) { return settings.GetSettingText("Assistant" + std::to_string(number)); }, name,
        static_cast<bool>(exception.GetScreenShot()));
    if (!definition)
        return nullptr;
    std::unique_ptr<TNVAssistant> assistant = LoadAssistant(nullptr, definition->title, definition->forms);
    if (const auto fields = settings.Fields(); assistant && fields)
        CopyFieldsToAssistant(*fields, *assistant);
    return assistant;
}

// Shown with the exception as the target of the contact and screenshot forms; true when it was
// finished with OK, its fields then in the report.
bool ShowForReport(TNVAssistant& assistant, TIZEException& exception, HWND owner)
{
    TExceptionFormsTarget target(exception);
    assistant.SetUserData(static_cast<IReportFormsTarget*>(&target));
    const bool accepted = assistant.ShowModal(owner) == TNVModalResult::Continue;
    assistant.SetUserData(nullptr);
    if (accepted)
        CopyAssistantFieldsToReport(assistant, exception);
    return accepted;
}

UnicodeString ActionAssistantName(IZEModuleSettings& settings, uint8_t action)
{
    switch (action) {
    case HandlerAction::Send:
        return settings.SendAssis();
    case HandlerAction::Save:
        return settings.SaveAssis();
    case HandlerAction::Print:
        return settings.PrintAssis();
    default:
        return {};
    }
}

} // namespace

void CopyAssistantFieldsToReport(const TNVAssistant& assistant, IZEException& exception)
{
    ForEachItemGoneThrough(assistant, [&](const TNVItem& item) { CopyItem(item, exception); });
}

void CollectAssistantFields(const TNVAssistant& assistant, TIZEFields& fields)
{
    ForEachItemGoneThrough(assistant, [&](const TNVItem& item) { CollectItem(item, fields); });
}

bool RunExceptionAssistant(TIZEException& exception)
{
    const std::unique_ptr<TNVAssistant> assistant = LoadFilledAssistant(exception, exception.GetAssistant());
    if (!assistant)
        return false;
    ShowForReport(*assistant, exception, nullptr);
    return true;
}

TAssistantOutcome RunActionAssistant(TIZEException& exception, uint8_t action, HWND owner)
{
    const UnicodeString name = ActionAssistantName(exception.Settings(), action);
    const std::unique_ptr<TNVAssistant> assistant = name.empty() ? nullptr : LoadFilledAssistant(exception, name);
    if (!assistant)
        return TAssistantOutcome::None;
    const bool accepted = ShowForReport(*assistant, exception, owner);
    if (const auto fields = exception.Settings().Fields())
        CollectAssistantFields(*assistant, *fields);
    return accepted ? TAssistantOutcome::Accepted : TAssistantOutcome::Declined;
}
