#pragma once
// A small top-most window with an optional icon, one line of text and a progress bar, shown
// while the crash library works. Other threads may move it.
#include <windows.h>
#include <unknwn.h>

#include <cstdint>
#include <string>

#include "ComPtr.h"
#include "InterfacedObject.h"

// {45B8448C-47B8-4F1C-886E-95ED5FD41E5F}
inline constexpr GUID IID_IProgressAlert = {
    0x45B8448C, 0x47B8, 0x4F1C, {0x88, 0x6E, 0x95, 0xED, 0x5F, 0xD4, 0x1E, 0x5F}};

struct IProgressAlert : public virtual IUnknown {
    virtual std::wstring GetTitle() = 0;
    virtual void SetTitle(const std::wstring& title) = 0;
    virtual int32_t GetPosition() = 0;
    // 0..1000 inside the current area.
    virtual void SetPosition(int32_t position) = 0;
    virtual void AddArea(const std::wstring& text, uint64_t weight) = 0;
    virtual void ClearAreas() = 0;
    virtual void NextArea() = 0;
    virtual int32_t GetArea() = 0;
    virtual void SetArea(int32_t index) = 0;
    // On the window's own thread only: dispatches what waits in its queue.
    virtual void ProcessMessages() = 0;
    // False when already shown or when the window cannot be made (the owner is enabled again).
    virtual bool Show(HWND owner, bool centred) = 0;
    virtual void Close() = 0;
};

// The window is made by Show; the icon is the module's bitmap resource of that name.
TIntfPtr<IProgressAlert> NewProgressAlert(const std::wstring& caption, HMODULE module, const std::wstring& bitmapName);
