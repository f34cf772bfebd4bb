#include "startup/win/LeakCheckLibrary.h"

#include <array>
#include <cstdlib>
#include <filesystem>

#include "settings/win/ZeSettings.h"

namespace {

constexpr int32_t kApiVersion = 2;
constexpr int32_t kLeakStackDepth = 150;
constexpr int32_t kGuardBytes = 8;
constexpr int32_t kBlockAlignment = 4;
constexpr wchar_t kLibraryName[] = L"zelExcept32.dll";
constexpr wchar_t kCollectionKey[] = L"Software\\Tesvik\\zelCollection";
constexpr wchar_t kPathInCollection[] = L"\\zelExcept\\Dlls\\zelExcept32.dll";

void* __cdecl Allocate(size_t size)
{
    return std::malloc(size);
}

void __cdecl Release(void* block)
{
    std::free(block);
}

void* __cdecl Reallocate(void* block, size_t size)
{
    return std::realloc(block, size);
}

const TLeakMemoryManager memoryManager{&Allocate, &Release, &Reallocate};

template <class Routine>
Routine Bound(HMODULE module, const char* name)
{
    return reinterpret_cast<Routine>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::wstring RegistryPlace()
{
    wchar_t folder[MAX_PATH] = {};
    DWORD size = sizeof folder;
    if (RegGetValueW(HKEY_CURRENT_USER, kCollectionKey, nullptr, RRF_RT_REG_SZ, nullptr, folder, &size) !=
        ERROR_SUCCESS)
        return {};
    return std::wstring(folder) + kPathInCollection;
}

std::wstring OwnFolderPlace()
{
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(CrashLibraryModule(), path, MAX_PATH) == 0)
        return {};
    return (std::filesystem::path(path).parent_path() / kLibraryName).wstring();
}

} // namespace

struct TLeakCheckLibrary::TApi {
    using TStartLeakChecking = BOOL(WINAPI*)(HMODULE module, void* reserved, const TLeakMemoryManager* memory,
                                             int32_t stackDepth, int32_t flags);
    using TCalibrateLeakChecking = BOOL(WINAPI*)(HMODULE module, void* const* samples, int32_t count);
    using TStartDebugMm = BOOL(WINAPI*)(HMODULE module, const TLeakMemoryManager* memory, int32_t reserved,
                                        BOOL overrun, int32_t guardBytes, int32_t alignment, int32_t flags);
    using TBlockCall = BOOL(WINAPI*)(void* block);
    using TPlainCall = void(WINAPI*)();

    TStartLeakChecking startLeakChecking;
    TCalibrateLeakChecking calibrateLeakChecking;
    TStartDebugMm startDebugMm;
    TBlockCall hideLeakPtr;
    TBlockCall thisIsNoLeak;
    TPlainCall unloadLeakModule;
};

TLeakCheckLibrary::TLeakCheckLibrary(std::vector<std::wstring> places, std::function<void(const wchar_t*)> showError)
    : places_(std::move(places)), showError_(std::move(showError))
{
}

TLeakCheckLibrary::~TLeakCheckLibrary() = default;

std::vector<std::wstring> TLeakCheckLibrary::DefaultPlaces()
{
    return {kLibraryName, OwnFolderPlace(), RegistryPlace()};
}

void TLeakCheckLibrary::ShowErrorBox(const wchar_t* text)
{
    MessageBoxW(nullptr, text, L"Error...", MB_ICONERROR);
}

bool TLeakCheckLibrary::Bind()
{
    if (attempted_)
        return api_ != nullptr;
    attempted_ = true;
    if (places_.empty())
        places_ = DefaultPlaces();
    HMODULE self = CrashLibraryModule();
    for (const std::wstring& place : places_) {
        if (place.empty())
            continue;
        if (const HMODULE loaded = LoadLibraryW(place.c_str()); loaded && loaded != self) {
            module_ = loaded;
            break;
        }
    }
    if (!module_)
        return false;
    using TGetApiVersion = int32_t(WINAPI*)();
    const auto version = Bound<TGetApiVersion>(module_, "GetApiVersion");
    if (!version)
        return false;
    if (version() != kApiVersion) {
        showError_(L"zelExcept32.dll has the wrong version.");
        return false;
    }
    auto api = std::make_unique<TApi>();
    api->startLeakChecking = Bound<TApi::TStartLeakChecking>(module_, "StartLeakChecking");
    api->calibrateLeakChecking = Bound<TApi::TCalibrateLeakChecking>(module_, "CalibrateLeakChecking");
    api->startDebugMm = Bound<TApi::TStartDebugMm>(module_, "StartDebugMm");
    api->hideLeakPtr = Bound<TApi::TBlockCall>(module_, "HideLeakPtr");
    api->thisIsNoLeak = Bound<TApi::TBlockCall>(module_, "ThisIsNoLeak");
    api->unloadLeakModule = Bound<TApi::TPlainCall>(module_, "UnloadLeakModule");
    api_ = std::move(api);
    return true;
}

void TLeakCheckLibrary::StartLeakCheckingFor(HMODULE module)
{
    if (!Bind() || !api_->startLeakChecking)
        return;
    api_->startLeakChecking(module, nullptr, &memoryManager, kLeakStackDepth, 0);
    if (!api_->calibrateLeakChecking)
        return;
    // Blocks of the kinds the library allocates: an array of 4 entries, texts of 4 narrow and of
    // 4 wide characters, and one-character texts of each width.
    constexpr std::array<size_t, 5> kSampleSizes = {4 * sizeof(void*), 5, 5 * sizeof(wchar_t), 2, 2 * sizeof(wchar_t)};
    std::array<void*, kSampleSizes.size()> samples{};
    for (size_t index = 0; index < samples.size(); ++index)
        samples[index] = memoryManager.allocate(kSampleSizes[index]);
    api_->calibrateLeakChecking(module, samples.data(), static_cast<int32_t>(samples.size()));
    for (void* sample : samples)
        memoryManager.release(sample);
}

void TLeakCheckLibrary::StartDebugMmFor(HMODULE module, bool overrun)
{
    if (Bind() && api_->startDebugMm)
        api_->startDebugMm(module, &memoryManager, 0, overrun, kGuardBytes, kBlockAlignment, 0);
}

bool TLeakCheckLibrary::HideLeak(void* block)
{
    if (!Bind())
        return false;
    if (api_->hideLeakPtr)
        return api_->hideLeakPtr(block) != FALSE;
    return api_->thisIsNoLeak && api_->thisIsNoLeak(block) != FALSE;
}

void TLeakCheckLibrary::Unload()
{
    if (api_ && api_->unloadLeakModule)
        api_->unloadLeakModule();
}

TLeakCheckLibrary& LeakCheckLibrary()
{
    static TLeakCheckLibrary library;
    return library;
}
