// Creating, opening, closing and releasing links, and what a link tells about itself.
#include "api/ApiFrame.h"
#include "links/CreateCommInterface.h"
#include "links/HeldLinkEvents.h"
#include "conduvex.h"

extern "C" CI_HANDLE CI_CALL ciCreate(const char* connectionString)
{
    return CreateCommInterface(connectionString, nullptr, 0, nullptr, true, 0);
}

extern "C" CI_HANDLE CI_CALL ciCreateM(const char* connectionString, HWND window,
                                      uint32_t message, CI_BOOL send)
{
    return CreateCommInterface(connectionString, window, message, nullptr, send != 0, 0);
}

extern "C" CI_HANDLE CI_CALL ciCreateCB(const char* connectionString, CI_NOTIFY_CALLBACK callback,
                                       uint32_t userData)
{
    return CreateCommInterface(connectionString, nullptr, 0, callback, true, userData);
}

// A link that is still closed after opening is a failure even when the provider did not
// raise one.
extern "C" uint32_t CI_CALL ciOpen(CI_HANDLE handle)
{
    return CiCallLink(handle, [](ICommunicationInterface& link) -> uint32_t {
        link.Open();
        return link.IsActive() ? 0 : SetError(kErrConnectionFailure);
    });
}

extern "C" uint32_t CI_CALL ciClose(CI_HANDLE handle)
{
    return CiCallLink(handle, [](ICommunicationInterface& link) -> uint32_t {
        link.Close();
        return 0;
    });
}

// The frame's reference keeps the link alive past its entry; dropping it at the end frees
// the link when nothing else holds it. The entry is taken apart while no notification is
// under way, and the link is closed only afterwards, with no lock held, so that its
// threads can finish whatever they are delivering.
extern "C" uint32_t CI_CALL ciRelease(CI_HANDLE handle)
{
    return CiCallLink(handle, [handle](ICommunicationInterface& link) -> uint32_t {
        bool removed = false;
        {
            const THeldLinkEvents quiet(link);
            removed = GlobalHandles().RemoveHandle(handle);
        }
        if (removed && link.IsActive())
            link.Close();
        return 0;
    });
}

extern "C" uint32_t CI_CALL ciIsActive(CI_HANDLE handle, CI_BOOL* active)
{
    return CiCall([&]() -> uint32_t {
        PutBool(active, false);
        PutBool(active, RequireLink(handle)->IsActive());
        return 0;
    });
}

extern "C" uint32_t CI_CALL ciSetValid(CI_HANDLE handle, CI_BOOL valid)
{
    return CiCallLink(handle, [valid](ICommunicationInterface& link) -> uint32_t {
        link.SetValid(valid != 0);
        return 0;
    });
}

extern "C" uint32_t CI_CALL ciGetValid(CI_HANDLE handle, CI_BOOL* valid)
{
    return CiCallLink(handle, [valid](ICommunicationInterface& link) -> uint32_t {
        PutBool(valid, link.GetValid());
        return 0;
    });
}

extern "C" uint32_t CI_CALL ciGetID(CI_HANDLE handle, char* buffer, int32_t* length)
{
    return CiCallLink(handle, [&](ICommunicationInterface& link) {
        return PutText(link.GetID(), buffer, length);
    });
}

extern "C" uint32_t CI_CALL ciGetDescription(CI_HANDLE handle, char* buffer, int32_t* length)
{
    return CiCallLink(handle, [&](ICommunicationInterface& link) {
        return PutText(link.GetDescription(), buffer, length);
    });
}
