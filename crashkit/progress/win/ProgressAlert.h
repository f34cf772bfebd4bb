#pragma once
#include "IProgressAlert.h"
#include "progress/ProgressAreas.h"

class TIProgressAlert : public TMyInterfacedObject, public IProgressAlert {
public:
    TIProgressAlert(const std::wstring& caption, HMODULE module, const std::wstring& bitmapName);
    ~TIProgressAlert() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { return TMyInterfacedObject::QueryInterface(iid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return TMyInterfacedObject::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return TMyInterfacedObject::Release(); }

    std::wstring GetTitle() override;
    void SetTitle(const std::wstring& title) override;
    int32_t GetPosition() override;
    void SetPosition(int32_t position) override;
    void AddArea(const std::wstring& text, uint64_t weight) override;
    void ClearAreas() override;
    void NextArea() override;
    int32_t GetArea() override;
    void SetArea(int32_t index) override;
    void ProcessMessages() override;
    bool Show(HWND owner, bool centred) override;
    void Close() override;

    HWND Window() const { return window_; }
    // Shows the title and the current area's text; from other threads through the window's queue.
    void RefreshTexts();

protected:
    void* FindInterface(REFIID iid) override;

private:
    bool CreateWindows(bool centred);
    void Place(bool centred);
    bool OnWindowThread() const;

    CRITICAL_SECTION lock_;
    std::wstring title_;
    HWND owner_ = nullptr;
    HWND window_ = nullptr;
    HWND icon_ = nullptr;
    HWND text_ = nullptr;
    HWND bar_ = nullptr;
    HFONT font_ = nullptr;
    TProgressAreas areas_;
    HMODULE module_;
    std::wstring bitmapName_;
    HANDLE slotEvent_ = nullptr;
};
