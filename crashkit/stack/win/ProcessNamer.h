#pragma once
// Names of this process's code addresses from the debug information of its modules.
#include "StackSeams.h"

class TProcessNamer : public ICodeNamer {
public:
    std::optional<TCodeName> Name(CodeAddress address) const override;
    UnicodeString ModuleNote(CodeAddress address) const override;
};
