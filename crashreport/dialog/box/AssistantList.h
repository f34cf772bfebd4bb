#pragma once
// The assistants the settings define: texts Assistant1, Assistant2, ... up to the first empty
// one, each "name|title|form|form...".
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"

struct TAssistantDefinition {
    UnicodeString title;
    std::vector<UnicodeString> forms;
};

inline constexpr std::u16string_view kScreenShotFormName = u"ScrShotForm";

// definition(n) gives the text of Assistantn. Without a screenshot the screenshot form is
// left out. None when no definition carries that name.
std::optional<TAssistantDefinition> FindAssistant(const std::function<UnicodeString(int)>& definition,
                                                  std::u16string_view name, bool hasScreenShot);
