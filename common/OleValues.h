#pragma once
// Owning wrappers of the automation values COM calls pass: BSTR and VARIANT. Texts cross
// in the system's 8-bit code page.
#include <windows.h>
#include <oleauto.h>

#include <string>

class TBstr {
public:
    TBstr() = default;
    explicit TBstr(const std::string& text);
    ~TBstr() { Reset(); }
    TBstr(TBstr&& other) noexcept;
    TBstr& operator=(TBstr&& other) noexcept;
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;

    BSTR Get() const { return text_; }
    // For out parameters: frees the current text and lends the slot.
    BSTR* Put();
    std::string ToString() const;
    void Reset();

private:
    BSTR text_ = nullptr;
};

class TVariant {
public:
    TVariant() { VariantInit(&value_); }
    ~TVariant() { VariantClear(&value_); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;

    const VARIANT& Get() const { return value_; }
    // For out parameters: clears the current value and lends the slot.
    VARIANT* Put();
    bool IsNullOrEmpty() const { return value_.vt == VT_NULL || value_.vt == VT_EMPTY; }
    // The value converted to text; false when it does not convert.
    bool ToText(std::string& text);

private:
    VARIANT value_;
};
