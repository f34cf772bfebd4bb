// Enumeration of the handles of the global table.
#include "api/ApiFrame.h"
#include "HostMemory.h"
#include "conduvex.h"

#include <vector>

extern "C" int32_t CI_CALL ciHandlesCount()
{
    return CiCallValue<int32_t>(-1, [] { return GlobalHandles().Count(); });
}

extern "C" CI_HANDLE CI_CALL ciHandleByIndex(int32_t index)
{
    return CiCallValue<CI_HANDLE>(0, [index] {
        const TCommIntfHandler& handles = GlobalHandles();
        if (index < 0 || index >= handles.Count())
            RaiseCode(kErrIndexOutOfBand);
        return handles.HandleByIndex(index);
    });
}

extern "C" int32_t CI_CALL ciEnumHandles(CI_HANDLE* buffer, int32_t* size)
{
    return CiCallValue<int32_t>(-1, [&] {
        Required(size);
        const TCommIntfHandler& handles = GlobalHandles();
        const int32_t count = handles.Count();
        const int32_t needed = count * static_cast<int32_t>(sizeof(CI_HANDLE));
        if (!buffer || ReadHost(size) < needed) {
            WriteHost(size, needed);
            if (buffer)
                RaiseCode(kErrBufferTooSmall);
            return count;
        }
        std::vector<CI_HANDLE> found(static_cast<size_t>(count));
        for (int32_t index = 0; index < count; ++index)
            found[static_cast<size_t>(index)] = handles.HandleByIndex(index);
        CopyToHost(buffer, found.data(), found.size() * sizeof(CI_HANDLE));
        return count;
    });
}
