#include "ftdi/Ftd2xx.h"

#include "FaultGuard.h"
#include "LastError.h"
#include "ResultCodes.h"

#include <array>
#include <cstring>
#include <vector>

namespace ftd2xx {
namespace {

// Lookup order of the entry table. FT_ListDevices is looked up into three entries; the
// wrapper uses the first.
enum class TEntry : uint8_t {
    Write, Open, Close, Read, SetBaudRate, SetDataCharacteristics, SetFlowControl, ResetDevice,
    SetDtr, ClrDtr, SetRts, ClrRts, GetModemStatus, SetChars, Purge, SetTimeouts,
    GetQueueStatus, ListDevices, ListDevicesSecond, ListDevicesThird, OpenEx,
    GetDeviceInfoList, CreateDeviceInfoList, GetDeviceInfoDetail, SetEventNotification, EraseEE,
    Count,
};

constexpr std::array<const char*, static_cast<size_t>(TEntry::Count)> kEntryNames{
    "FT_Write", "FT_Open", "FT_Close", "FT_Read", "FT_SetBaudRate",
    "FT_SetDataCharacteristics", "FT_SetFlowControl", "FT_ResetDevice", "FT_SetDtr",
    "FT_ClrDtr", "FT_SetRts", "FT_ClrRts", "FT_GetModemStatus", "FT_SetChars", "FT_Purge",
    "FT_SetTimeouts", "FT_GetQueueStatus", "FT_ListDevices", "FT_ListDevices",
    "FT_ListDevices", "FT_OpenEx", "FT_GetDeviceInfoList", "FT_CreateDeviceInfoList",
    "FT_GetDeviceInfoDetail", "FT_SetEventNotification", "FT_EraseEE",
};

struct TStatusMeaning {
    TFtStatus status;
    const char* suffix;
};

constexpr std::array<TStatusMeaning, 7> kStatusMeanings{{
    {kFtInvalidHandle, " - Invalid Handle..."},
    {kFtDeviceNotFound, " - Device Not Found...."},
    {kFtDeviceNotOpened, " - Device Not Opened..."},
    {kFtIoError, " - General IO Error..."},
    {kFtInsufficientResources, " - Insufficient Resources..."},
    {kFtInvalidParameter, " - Invalid Parameter ..."},
    {kFtNotBound, " - Ftdi Direct Driver DLL not found..."},
}};

// The bound library: its module and one entry address per lookup.
class TDriverLibrary {
public:
    ~TDriverLibrary() { Unload(); }

    void Load(const char* fileName)
    {
        Unload();
        module_ = LoadLibraryA(fileName);
        if (!module_)
            return;
        for (size_t index = 0; index < entries_.size(); ++index) {
            entries_[index] = GetProcAddress(module_, kEntryNames[index]);
            if (!entries_[index])
                missingNames_ += std::string(kEntryNames[index]) + '\r';
        }
    }

    void Unload()
    {
        entries_.fill(nullptr);
        missingNames_.clear();
        if (module_)
            FreeLibrary(module_);
        module_ = nullptr;
    }

    bool Loaded() const { return module_ && missingNames_.empty(); }
    const std::string& MissingNames() const { return missingNames_; }
    FARPROC Entry(TEntry entry) const { return entries_[static_cast<size_t>(entry)]; }

private:
    HMODULE module_ = nullptr;
    std::array<FARPROC, static_cast<size_t>(TEntry::Count)> entries_{};
    std::string missingNames_;
};

TDriverLibrary& Library()
{
    static TDriverLibrary library;
    return library;
}

// Calls a bound function with the arguments as they are; kFtNotBound when it is missing. The
// driver is foreign code: a fault inside it comes back here and is raised as the library's
// exception.
template <TEntry Which, class... Args>
TFtStatus Call(Args... args)
{
    const FARPROC entry = Library().Entry(Which);
    if (!entry)
        return kFtNotBound;
    using TFunction = TFtStatus(WINAPI*)(Args...);
    const auto function = reinterpret_cast<TFunction>(reinterpret_cast<void*>(entry));
    TFtStatus status = kFtOk;
    Guarded([&] { status = function(args...); });
    return status;
}

std::string TextOfField(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

} // namespace

void LoadFtd2xx(const char* fileName)
{
    Library().Load(fileName);
}

void UnloadFtd2xx()
{
    Library().Unload();
}

bool Ftd2xxLoaded()
{
    return Library().Loaded();
}

const std::string& MissingFtd2xxNames()
{
    return Library().MissingNames();
}

TFtStatus FT_Write(TFtHandle handle, const void* buffer, uint32_t length, uint32_t* written)
{
    return Call<TEntry::Write>(handle, buffer, length, written);
}

TFtStatus FT_Close(TFtHandle handle)
{
    return Call<TEntry::Close>(handle);
}

TFtStatus FT_Read(TFtHandle handle, void* buffer, uint32_t length, uint32_t* read)
{
    return Call<TEntry::Read>(handle, buffer, length, read);
}

TFtStatus FT_SetBaudRate(TFtHandle handle, uint32_t rate)
{
    return Call<TEntry::SetBaudRate>(handle, rate);
}

TFtStatus FT_SetDataCharacteristics(TFtHandle handle, uint8_t wordLength, uint8_t stopBits,
                                    uint8_t parity)
{
    return Call<TEntry::SetDataCharacteristics>(handle, wordLength, stopBits, parity);
}

TFtStatus FT_SetDtr(TFtHandle handle)
{
    return Call<TEntry::SetDtr>(handle);
}

TFtStatus FT_ClrDtr(TFtHandle handle)
{
    return Call<TEntry::ClrDtr>(handle);
}

TFtStatus FT_SetRts(TFtHandle handle)
{
    return Call<TEntry::SetRts>(handle);
}

TFtStatus FT_ClrRts(TFtHandle handle)
{
    return Call<TEntry::ClrRts>(handle);
}

TFtStatus FT_Purge(TFtHandle handle, uint32_t mask)
{
    return Call<TEntry::Purge>(handle, mask);
}

TFtStatus FT_GetQueueStatus(TFtHandle handle, uint32_t* waiting)
{
    return Call<TEntry::GetQueueStatus>(handle, waiting);
}

TFtStatus FT_ListDevices(void* argument1, void* argument2, uint32_t flags)
{
    return Call<TEntry::ListDevices>(argument1, argument2, flags);
}

TFtStatus FT_OpenEx(void* argument, uint32_t flags, TFtHandle* handle)
{
    return Call<TEntry::OpenEx>(argument, flags, handle);
}

TFtStatus FT_GetDeviceInfoList(TFtDeviceListNode* list, uint32_t* count)
{
    return Call<TEntry::GetDeviceInfoList>(list, count);
}

TFtStatus FT_CreateDeviceInfoList(uint32_t* count)
{
    return Call<TEntry::CreateDeviceInfoList>(count);
}

TFtStatus FT_GetDeviceInfoDetail(uint32_t index, uint32_t* flags, uint32_t* type, uint32_t* id,
                                 uint32_t* location, char* serialNumber, char* description,
                                 TFtHandle* handle)
{
    return Call<TEntry::GetDeviceInfoDetail>(index, flags, type, id, location, serialNumber,
                                             description, handle);
}

TFtStatus FT_SetEventNotification(TFtHandle handle, uint32_t mask, HANDLE event)
{
    return Call<TEntry::SetEventNotification>(handle, mask, event);
}

TFtStatus FT_EraseEE(TFtHandle handle)
{
    return Call<TEntry::EraseEE>(handle);
}

std::string FtStatusText(const std::string& operation, TFtStatus status)
{
    for (const TStatusMeaning& meaning : kStatusMeanings) {
        if (meaning.status == status)
            return operation + meaning.suffix;
    }
    return {};
}

uint32_t FtStatusCode(TFtStatus status)
{
    return status == kFtNotBound ? kErrFtdNotLoaded : kErrFtdNotLoaded + status;
}

uint32_t FtStatusError(const std::string& operation, TFtStatus status)
{
    if (status == kFtOk)
        return 0;
    return SetError(FtStatusCode(status), FtStatusText(operation, status));
}

TFtStatus GetFTDeviceCount(uint32_t& count)
{
    const TFtStatus status = FT_ListDevices(&count, nullptr, kFtListNumberOnly);
    FtStatusError("GetFTDeviceCount", status);
    return status;
}

std::optional<std::string> FindFTDescription(const std::string& serialNumber)
{
    uint32_t attached = 0;
    if (GetFTDeviceCount(attached) != kFtOk)
        return std::nullopt;
    // The list is sized by the snapshot it is filled from: a device attached between the
    // two calls would otherwise be written past its end.
    uint32_t count = 0;
    const TFtStatus created = FT_CreateDeviceInfoList(&count);
    if (created != kFtOk) {
        FtStatusError("FT_CreateDeviceInfoList", created);
        return std::nullopt;
    }
    std::vector<TFtDeviceListNode> nodes(count);
    const TFtStatus listed = FT_GetDeviceInfoList(nodes.data(), &count);
    if (listed != kFtOk) {
        FtStatusError("FT_GetDeviceInfoList", listed);
        return std::nullopt;
    }
    nodes.resize(std::min<size_t>(count, nodes.size()));
    for (const TFtDeviceListNode& node : nodes) {
        if (TextOfField(node.serialNumber, kFtSerialNumberSize) == serialNumber)
            return TextOfField(node.description, kFtDescriptionSize);
    }
    return std::nullopt;
}

} // namespace ftd2xx
