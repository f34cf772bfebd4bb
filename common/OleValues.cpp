#include "OleValues.h"

#include <utility>

namespace {

std::wstring Widen(const std::string& text)
{
    if (text.empty())
        return {};
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
    std::wstring result(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), result.data(),
                        size);
    return result;
}

std::string Narrow(const wchar_t* text, int length)
{
    if (!text || length <= 0)
        return {};
    const int size =
        WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

} // namespace

TBstr::TBstr(const std::string& text)
{
    const std::wstring wide = Widen(text);
    text_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

TBstr::TBstr(TBstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

TBstr& TBstr::operator=(TBstr&& other) noexcept
{
    if (this != &other) {
        Reset();
        text_ = std::exchange(other.text_, nullptr);
    }
    return *this;
}

BSTR* TBstr::Put()
{
    Reset();
    return &text_;
}

std::string TBstr::ToString() const
{
    return Narrow(text_, static_cast<int>(SysStringLen(text_)));
}

void TBstr::Reset()
{
    SysFreeString(std::exchange(text_, nullptr));
}

VARIANT* TVariant::Put()
{
    VariantClear(&value_);
    return &value_;
}

bool TVariant::ToText(std::string& text)
{
    VARIANT converted;
    VariantInit(&converted);
    const bool ok = SUCCEEDED(VariantChangeType(&converted, &value_, 0, VT_BSTR));
    if (ok)
        text = Narrow(converted.bstrVal, static_cast<int>(SysStringLen(converted.bstrVal)));
    VariantClear(&converted);
    return ok;
}
