// Converter enumeration and lookup for hosts (ordinals 7 to 13).
#include "api/ApiFrame.h"
#include "ConnectionString.h"
#include "HostMemory.h"
#include "ftdi/FtdiDeviceLookup.h"
#include "conduvex.h"

namespace {

template <class T>
void PutIfGiven(T* place, T value)
{
    if (place)
        WriteHost(place, value);
}

void CopyWithNul(const std::string& text, char* buffer)
{
    if (buffer)
        CopyToHost(buffer, text.c_str(), text.size() + 1);
}

// Steps shared by the by-index exports: the details, or the code of the failure.
template <class Work>
uint32_t WithDetail(int32_t index, Work&& work)
{
    return CiCall([&]() -> uint32_t {
        TFtdiDeviceDetail detail;
        if (const uint32_t failure = ReadFtdiDetail(index, detail))
            return failure;
        return work(detail);
    });
}

std::optional<std::string> OptionalText(const char* text)
{
    return text ? std::optional<std::string>(HostText(text)) : std::nullopt;
}

std::optional<uint32_t> OptionalNumber(const uint32_t* number)
{
    return number ? std::optional<uint32_t>(ReadHost(number)) : std::nullopt;
}

} // namespace

extern "C" int32_t CI_CALL FTDDeviceCount()
{
    return CiCallValue<int32_t>(-1, [] { return FtdiDeviceCount(); });
}

extern "C" uint32_t CI_CALL FTDGetDetailByIndex(int32_t index, uint32_t* flags, uint32_t* type,
                                                uint32_t* id, uint32_t* location,
                                                char* serialNumber, char* description)
{
    return WithDetail(index, [&](const TFtdiDeviceDetail& detail) -> uint32_t {
        if (detail.serialNumber.empty())
            return SetError(kErrDataNotAvailable);
        CopyWithNul(detail.serialNumber, serialNumber);
        CopyWithNul(detail.description, description);
        PutIfGiven(flags, detail.flags);
        PutIfGiven(type, detail.type);
        PutIfGiven(id, detail.id);
        PutIfGiven(location, detail.location);
        return 0;
    });
}

extern "C" uint32_t CI_CALL FTDSerNumByIndex(int32_t index, char* buffer, int32_t* length)
{
    return WithDetail(index, [&](const TFtdiDeviceDetail& detail) {
        return PutText(detail.serialNumber, buffer, length);
    });
}

extern "C" uint32_t CI_CALL FTDDevNameByIndex(int32_t index, char* buffer, int32_t* length)
{
    return WithDetail(index, [&](const TFtdiDeviceDetail& detail) {
        return PutText(detail.description, buffer, length);
    });
}

extern "C" uint32_t CI_CALL FTDVidPidByIndex(int32_t index, uint32_t* vendorId,
                                             uint32_t* productId)
{
    return WithDetail(index, [&](const TFtdiDeviceDetail& detail) -> uint32_t {
        PutIfGiven(vendorId, detail.VendorId());
        PutIfGiven(productId, detail.ProductId());
        return 0;
    });
}

extern "C" uint32_t CI_CALL FTDFindDevice(int32_t start, const char* serialNumber,
                                          const char* description, const uint32_t* vendorId,
                                          const uint32_t* productId, int32_t* index)
{
    return CiCall([&]() -> uint32_t {
        WriteHost(Required(index), -1);
        const TFtdiCriteria criteria{OptionalText(serialNumber), OptionalText(description),
                                     OptionalNumber(vendorId), OptionalNumber(productId)};
        WriteHost(index, FindFtdiDevice(start, criteria));
        return 0;
    });
}

extern "C" uint32_t CI_CALL FTDFindDeviceCS(int32_t start, const char* connectionString,
                                            int32_t* index)
{
    return CiCall([&]() -> uint32_t {
        WriteHost(Required(index), -1);
        const TConnectionString parameters(HostText(connectionString));
        WriteHost(index, FindFTDDevice(parameters, start));
        return 0;
    });
}
