#pragma once
#include <string>
#include <vector>

#include "IProgressAlert.h"

// Records what the route does with its progress alert.
class TRecordingAlert : public TMyInterfacedObject, public IProgressAlert {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        return TMyInterfacedObject::QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return TMyInterfacedObject::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return TMyInterfacedObject::Release(); }

    std::wstring GetTitle() override { return {}; }
    void SetTitle(const std::wstring&) override {}
    int32_t GetPosition() override { return positions.empty() ? 0 : positions.back(); }
    void SetPosition(int32_t position) override { positions.push_back(position); }
    void AddArea(const std::wstring& text, uint64_t weight) override
    {
        areas.push_back(std::string(text.begin(), text.end()) + " " + std::to_string(weight));
    }
    void ClearAreas() override { areas.clear(); }
    void NextArea() override { visited.push_back(++area); }
    int32_t GetArea() override { return area; }
    void SetArea(int32_t index) override { visited.push_back(area = index); }
    void ProcessMessages() override {}
    bool Show(HWND, bool) override { return true; }
    void Close() override { closed = true; }

    std::vector<std::string> areas;
    std::vector<int32_t> visited;
    std::vector<int32_t> positions;
    int32_t area = 0;
    bool closed = false;
};
