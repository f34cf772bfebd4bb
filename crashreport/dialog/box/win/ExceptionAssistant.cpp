#include "dialog/box/win/ExceptionAssistant.h"

#include <string>

#include "dialog/box/AssistantList.h"
#include "dialog/win/ReportFormsTarget.h"
#include "settings/FieldsList.h"
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

} // namespace

void CopyAssistantFieldsToReport(const TNVAssistant& assistant, IZEException& exception)
{
    for (int formIndex = 0; formIndex < assistant.FormCount(); ++formIndex) {
        const TNVForm* form = assistant.Form(formIndex);
        if (!form || form->ModalResult() != TNVModalResult::Continue)
            continue;
        for (int itemIndex = 0; itemIndex < form->ItemCount(); ++itemIndex)
            if (const TNVItem* item = form->Item(itemIndex))
                CopyItem(*item, exception);
    }
}

bool RunExceptionAssistant(TIZEException& exception)
{
    IZEModuleSettings& settings = exception.Settings();
    const auto definition = FindAssistant(
        [&](int number) { return settings.GetSettingText("Assistant" + std::to_string(number)); },
        exception.GetAssistant(), static_cast<bool>(exception.GetScreenShot()));
    if (!definition)
        return false;
    const std::unique_ptr<TNVAssistant> assistant = LoadAssistant(nullptr, definition->title, definition->forms);
    if (!assistant)
        return false;
    if (const auto fields = settings.Fields())
        CopyFieldsToAssistant(*fields, *assistant);
    TExceptionFormsTarget target(exception);
    assistant->SetUserData(static_cast<IReportFormsTarget*>(&target));
    if (assistant->ShowModal(nullptr) == TNVModalResult::Continue)
        CopyAssistantFieldsToReport(*assistant, exception);
    return true;
}
