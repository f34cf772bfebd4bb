#include "ftdi/FtdiDeviceLookup.h"

#include "ConduvexError.h"
#include "LastError.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using namespace ftd2xx;

namespace {

std::string Lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string TextOfField(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

} // namespace

TFtStatus QueryFtdiDetail(int32_t index, TFtdiDeviceDetail& detail)
{
    char serialNumber[kFtSerialNumberSize + 1] = {};
    char description[kFtDescriptionSize + 1] = {};
    TFtHandle handle = nullptr;
    const TFtStatus status =
        FT_GetDeviceInfoDetail(static_cast<uint32_t>(index), &detail.flags, &detail.type,
                               &detail.id, &detail.location, serialNumber, description, &handle);
    if (status == kFtOk) {
        detail.serialNumber = TextOfField(serialNumber, kFtSerialNumberSize);
        detail.description = TextOfField(description, kFtDescriptionSize);
    }
    return status;
}

namespace {

std::optional<std::string> TextCriterion(const TParamSet& parameters, const char* key)
{
    if (!parameters.HasParam(key))
        return std::nullopt;
    return parameters.GetValueDef(key, "unknown");
}

std::optional<uint32_t> NumberCriterion(const TParamSet& parameters, const char* key)
{
    if (!parameters.HasParam(key))
        return std::nullopt;
    return static_cast<uint32_t>(parameters.GetInt(key, 0));
}

int32_t DeviceAtIndex(int32_t index)
{
    const int32_t count = FtdiDeviceCount();
    if (count < 0)
        throw EConduvexError(LastErrorMessage());
    if (index < 0 || index >= count)
        throw EConduvexError("FTD device index doesn't exists.");
    return index;
}

} // namespace

bool TFtdiCriteria::Matches(const TFtdiDeviceDetail& device) const
{
    if (serialNumber && Lowered(*serialNumber) != Lowered(device.serialNumber))
        return false;
    if (description && Lowered(device.description).find(Lowered(*description)) == std::string::npos)
        return false;
    if (vendorId && *vendorId != device.VendorId())
        return false;
    return !productId || *productId == device.ProductId();
}

int32_t FtdiDeviceCount()
{
    if (!Ftd2xxLoaded()) {
        SetError(kErrLibraryMissing, kFtd2xxNotLoadedText);
        return -1;
    }
    uint32_t count = 0;
    const TFtStatus status = FT_CreateDeviceInfoList(&count);
    if (status != kFtOk) {
        SetError(FtStatusCode(status));
        return -1;
    }
    return static_cast<int32_t>(count);
}

uint32_t ReadFtdiDetail(int32_t index, TFtdiDeviceDetail& detail)
{
    if (!Ftd2xxLoaded())
        return SetError(kErrLibraryMissing, kFtd2xxNotLoadedText);
    if (index < 0)
        throw EConduvexError("Range check error");
    const TFtStatus status = QueryFtdiDetail(index, detail);
    return status == kFtOk ? 0 : SetError(FtStatusCode(status));
}

int32_t FindFtdiDevice(int32_t start, const TFtdiCriteria& criteria)
{
    const int32_t count = FtdiDeviceCount();
    if (start < 0 || start >= count)
        return -1;
    for (int32_t index = start; index < count; ++index) {
        TFtdiDeviceDetail device;
        // A device the driver cannot describe, or one without a serial number, is skipped.
        if (QueryFtdiDetail(index, device) == kFtOk && !device.serialNumber.empty() &&
            criteria.Matches(device))
            return index;
    }
    return -1;
}

int32_t FindFTDDevice(const TParamSet& parameters, int32_t start)
{
    if (!Ftd2xxLoaded())
        throw EConduvexError(kFtd2xxNotLoadedText);
    if (parameters.HasParam("INDEX"))
        return DeviceAtIndex(parameters.GetInt("INDEX", -1));
    const TFtdiCriteria criteria{
        TextCriterion(parameters, "SERIAL_NUMBER"),
        TextCriterion(parameters, "DEVICE"),
        NumberCriterion(parameters, "VID"),
        NumberCriterion(parameters, "PID"),
    };
    return FindFtdiDevice(start, criteria);
}

int32_t FindFtdiDeviceIndex(const TParamSet& parameters)
{
    if (!Ftd2xxLoaded())
        throw EConduvexError(kFtd2xxNotLoadedText, kErrLibraryMissing);
    ClearError();
    const int32_t index = FindFTDDevice(parameters, 0);
    if (index >= 0)
        return index;
    if (LastErrorCode() != 0)
        throw EConduvexError(LastErrorMessage(), LastErrorCode());
    throw EConduvexError(std::string(ResultCodeText(kErrDeviceNotAvailable)),
                         kErrDeviceNotAvailable);
}
