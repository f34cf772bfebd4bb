#pragma once
// The items of a wizard form: buttons, labels, edits, check boxes and images. Each reads its
// own properties, measures itself, makes its window (when it has one) and draws itself.
#include <windows.h>

#include <string_view>

#include "INVBitmap.h"
#include "text/ZelTypes.h"
#include "wizard/FormLayoutRules.h"
#include "wizard/win/GdiObjects.h"

class TNVForm;

// Bounds of the sizes a form resource may ask for.
constexpr int MaxMeasure = 0x7FFF;
constexpr int MaxEditLines = 1000;

class TNVItem {
public:
    TNVItem(TNVForm& form, TNVItemKind kind, UnicodeString name) : form_(form), kind_(kind), name_(std::move(name)) {}
    virtual ~TNVItem() = default;
    TNVItem(const TNVItem&) = delete;
    TNVItem& operator=(const TNVItem&) = delete;

    TNVForm& Form() const { return form_; }
    TNVItemKind Kind() const { return kind_; }
    const UnicodeString& Name() const { return name_; }
    HWND Handle() const { return window_; }
    virtual bool TabStop() const { return false; }
    int Spacing() const { return spacing_; }
    int Index() const { return index_; }
    void SetIndex(int index) { index_ = index; }
    const RECT& Rect() const { return rect_; }

    bool Enabled() const { return enabled_; }
    // The window follows unless the form holds the item disabled.
    void SetEnabled(bool enabled);
    bool DisabledByForm() const { return disabledByForm_; }
    void SetDisabledByForm(bool disabled);
    bool IsUsable() const { return enabled_ && !disabledByForm_; }
    virtual bool IsHidden() const { return false; }
    virtual void SetFocus();

    bool OutputOwnSection() const { return outputOwnSection_; }
    virtual void SetOutputOwnSection(bool ownSection) { outputOwnSection_ = ownSection; }
    const UnicodeString& OutputName() const { return outputName_; }
    void SetOutputName(UnicodeString name) { outputName_ = std::move(name); }

    virtual void ReadProperty(std::u16string_view name, std::u16string_view value);
    // The width the item needs whatever the form's width (0: it takes what it gets).
    virtual int NaturalWidth(HDC measure) const = 0;
    virtual TSize Measure(HDC measure, int availableWidth) = 0;
    virtual TLayoutItem LayoutInfo() const { return {kind_, false}; }
    // Takes its place in the form's window and makes its own window there.
    void Place(const RECT& rect);
    // The form's window is going; children go with it.
    virtual void WindowGone() { window_ = nullptr; }
    virtual void Paint(HDC) {}
    virtual void DrawItem(const DRAWITEMSTRUCT&) {}
    virtual bool IsValid() const { return true; }

protected:
    virtual void CreateWnd() {}
    HWND CreateChild(const wchar_t* className, DWORD style, std::u16string_view text, HFONT font);
    void Repaint() const;

    RECT rect_{};

private:
    TNVForm& form_;
    TNVItemKind kind_;
    UnicodeString name_;
    HWND window_ = nullptr;
    bool enabled_ = true;
    bool disabledByForm_ = false;
    int spacing_ = 0;
    int index_ = 0;
    bool outputOwnSection_ = false;
    UnicodeString outputName_;
};

class TNVButton : public TNVItem {
public:
    TNVButton(TNVForm& form, UnicodeString name, UnicodeString caption = {})
        : TNVItem(form, TNVItemKind::Button, std::move(name)), caption_(std::move(caption))
    {
    }

    bool TabStop() const override { return !hidden_; }
    bool IsHidden() const override { return hidden_; }
    UnicodeString Caption() const { return caption_.empty() ? Name() : caption_; }
    void SetCaption(UnicodeString caption);
    int MinWidth() const { return minWidth_; }
    bool OwnerDraw() const { return !noOwnerDraw_; }

    void ReadProperty(std::u16string_view name, std::u16string_view value) override;
    int NaturalWidth(HDC measure) const override;
    TSize Measure(HDC measure, int availableWidth) override;
    // One of the three bottom buttons.
    TSize MeasureBottom(HDC measure) const;
    void DrawItem(const DRAWITEMSTRUCT& item) override;

protected:
    void CreateWnd() override;

private:
    HFONT CaptionFont() const;

    int minWidth_ = 0;
    UnicodeString caption_;
    bool noOwnerDraw_ = false;
    bool hidden_ = false;
};

class TNVLabel : public TNVItem {
public:
    TNVLabel(TNVForm& form, UnicodeString name) : TNVItem(form, TNVItemKind::Label, std::move(name)) {}

    UnicodeString Caption() const { return caption_.empty() ? Name() : caption_; }
    void SetCaption(UnicodeString caption);

    void ReadProperty(std::u16string_view name, std::u16string_view value) override;
    int NaturalWidth(HDC) const override { return 0; }
    TSize Measure(HDC measure, int availableWidth) override;
    TLayoutItem LayoutInfo() const override { return {TNVItemKind::Label, fieldCaption_}; }
    void Paint(HDC dc) override;

private:
    UnicodeString caption_;
    bool fieldCaption_ = false;
};

class TNVEdit : public TNVItem {
public:
    TNVEdit(TNVForm& form, UnicodeString name) : TNVItem(form, TNVItemKind::Edit, std::move(name)) {}

    bool TabStop() const override { return true; }
    void SetFocus() override;
    int Lines() const { return lines_; }
    bool MultiLine() const { return lines_ > 1; }
    bool Optional() const { return optional_; }
    void SetOptional(bool optional);
    UnicodeString Text() const;
    void SetText(UnicodeString text);
    // Keeps what the window shows, for when the window is gone.
    void ReadBack();
    bool Colored() const { return colored_; }
    void SetColored(bool colored);
    bool Valid() const { return !invalid_; }
    void SetValid(bool valid);
    void SetOutputOwnSection(bool ownSection) override;

    void ReadProperty(std::u16string_view name, std::u16string_view value) override;
    int NaturalWidth(HDC) const override { return 0; }
    TSize Measure(HDC measure, int availableWidth) override;
    void Paint(HDC dc) override;
    bool IsValid() const override { return optional_ || (!invalid_ && !Text().empty()); }
    // The frame around the window, repainted when the focus comes or goes.
    RECT FrameRect() const;

protected:
    void CreateWnd() override;

private:
    int lines_ = 1;
    bool optional_ = false;
    UnicodeString text_;
    bool colored_ = true;
    bool invalid_ = false;
};

class TNVCheckBox : public TNVItem {
public:
    TNVCheckBox(TNVForm& form, UnicodeString name) : TNVItem(form, TNVItemKind::CheckBox, std::move(name)) {}

    bool TabStop() const override { return true; }
    UnicodeString Caption() const { return caption_.empty() ? Name() : caption_; }
    void SetCaption(UnicodeString caption);
    bool Checked() const { return checked_; }
    void SetChecked(bool checked);

    void ReadProperty(std::u16string_view name, std::u16string_view value) override;
    int NaturalWidth(HDC measure) const override;
    TSize Measure(HDC measure, int availableWidth) override;
    void DrawItem(const DRAWITEMSTRUCT& item) override;

protected:
    void CreateWnd() override;

private:
    UnicodeString caption_;
    bool checked_ = false;
};

class TNVImage : public TNVItem {
public:
    TNVImage(TNVForm& form, UnicodeString name) : TNVItem(form, TNVItemKind::Image, std::move(name)) {}

    const UnicodeString& File() const { return file_; }
    INVBitmap* Bitmap() const { return bitmap_.Get(); }
    // Shown scaled to fit the image's size when the form is laid out.
    void SetBitmap(TIntfPtr<INVBitmap> bitmap);
    bool Clickable() const { return clickable_; }
    bool Border() const { return border_; }
    int Width() const { return rect_.right - rect_.left; }
    int Height() const { return rect_.bottom - rect_.top; }
    // Inside the image, left and top edges excluded.
    bool Contains(POINT point) const;

    void ReadProperty(std::u16string_view name, std::u16string_view value) override;
    int NaturalWidth(HDC measure) const override;
    TSize Measure(HDC measure, int availableWidth) override;
    void Paint(HDC dc) override;

private:
    int FrameWidth() const { return (clickable_ ? 3 : 0) + (border_ ? 1 : 0); }
    TSize PictureSize() const;

    UnicodeString file_;
    TIntfPtr<INVBitmap> bitmap_;
    bool clickable_ = false;
    bool border_ = false;
    int width_ = 0;
    int height_ = 0;
};
