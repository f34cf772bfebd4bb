#pragma once
// A wizard: forms shown one after the other, built from form resources "TZE" + form name.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "wizard/win/NVForm.h"

class TNVAssistant {
public:
    // One form per resource (each knows its index from 1 and the count).
    TNVAssistant(UnicodeString title, const std::vector<std::string>& resources);
    TNVAssistant(const TNVAssistant&) = delete;
    TNVAssistant& operator=(const TNVAssistant&) = delete;

    const UnicodeString& Title() const { return title_; }
    // On the assistant and all its forms.
    void SetTitle(UnicodeString title);
    int FormCount() const { return static_cast<int>(forms_.size()); }
    TNVForm* Form(int index) const;
    // By name ignoring case; of several equal names the last.
    TNVForm* FindForm(std::u16string_view name) const;
    TNVModalResult ModalResult() const { return result_; }
    TNVActionProc OnAction() const { return onAction_; }
    // The owner's notification, called after each form's own callback.
    void SetOnAction(TNVActionProc action, void* userValue);
    void* UserData() const { return userData_; }
    void SetUserData(void* data) { userData_ = data; }
    intptr_t Tag() const { return tag_; }
    void SetTag(intptr_t tag) { tag_ = tag; }

    // The forms in order, until one is cancelled.
    TNVModalResult ShowModal(HWND owner);

    void Notify(TNVForm& form, TNVAction action, TNVItem* item);

private:
    UnicodeString title_;
    std::vector<std::unique_ptr<TNVForm>> forms_;
    TNVModalResult result_ = TNVModalResult::None;
    TNVActionProc onAction_ = nullptr;
    void* onActionValue_ = nullptr;
    void* userData_ = nullptr;
    intptr_t tag_ = 0;
};

// The forms "TZE" + name from the module that holds the first of them (the given module, else
// the one of this code); a missing resource gives a form with the three buttons only.
std::unique_ptr<TNVAssistant> LoadAssistant(HMODULE module, UnicodeString title,
                                            const std::vector<UnicodeString>& formNames);
