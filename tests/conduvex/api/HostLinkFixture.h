#pragma once
// Host-level link tests over a serial port: the link under test on one end of a pty pair,
// the other end opened as a plain COM port by the test (tools/pty-ports.sh links them).
#include "conduvex/api/HostLinkLibrary.h"
#include "support/SerialPeer.h"
#include "support/SerialPeers.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class THostLinkFixture : public ::testing::Test {
protected:
    // conduvex_host_tests owns pairs 2 and 3.
    static constexpr int kPair = 2;
    static constexpr int kLinkPort = serial_peers::LinkPort(kPair);
    static constexpr int kPeerPort = serial_peers::PeerPort(kPair);

    void SetUp() override
    {
        ASSERT_TRUE(ci_.Loaded()) << "Conduvex.dll beside the test program";
        peer_ = std::make_unique<TSerialPeer>(kPeerPort, kLinkPort);
        if (!peer_->IsOpen())
            GTEST_SKIP() << "COM" << kPeerPort << " is not linked: run tools/pty-ports.sh first";
        ClearNotifications();
    }

    void TearDown() override
    {
        for (const CI_HANDLE handle : created_)
            ci_.ciRelease(handle);
        peer_.reset();
    }

    static std::string LinkText(const std::string& extra = {})
    {
        return "provider=COM;comport=" + std::to_string(kLinkPort) + ";baudrate=115200" + extra;
    }

    // Created links are released after the test.
    CI_HANDLE Keep(CI_HANDLE handle)
    {
        if (handle)
            created_.push_back(handle);
        return handle;
    }

    CI_HANDLE OpenLink()
    {
        const CI_HANDLE handle = Keep(ci_.ciCreate(LinkText(";active=1").c_str()));
        EXPECT_NE(0u, handle) << ci_.ErrorText();
        EXPECT_TRUE(IsActive(handle)) << ci_.ErrorText();
        return handle;
    }

    bool IsActive(CI_HANDLE handle)
    {
        CI_BOOL active = CI_FALSE;
        return ci_.ciIsActive(handle, &active) == 0 && active == CI_TRUE;
    }

    std::string ReadAll(CI_HANDLE handle)
    {
        std::string bytes(4096, '\0');
        int32_t length = static_cast<int32_t>(bytes.size());
        EXPECT_EQ(0u, ci_.ciRead(handle, reinterpret_cast<uint8_t*>(bytes.data()), &length));
        bytes.resize(static_cast<size_t>(length > 0 ? length : 0));
        return bytes;
    }

    struct TNotification {
        CI_HANDLE handle;
        uint32_t kind;
        uint32_t userData;
    };

    // Callbacks may come from the library's threads.
    static std::vector<TNotification> Notifications()
    {
        std::lock_guard<std::mutex> guard(NotificationLock());
        return NotificationList();
    }
    static void ClearNotifications()
    {
        std::lock_guard<std::mutex> guard(NotificationLock());
        NotificationList().clear();
    }
    static size_t CountOf(uint32_t kind)
    {
        size_t count = 0;
        for (const TNotification& notification : Notifications())
            count += notification.kind == kind ? 1 : 0;
        return count;
    }
    static void CI_CALL Record(CI_HANDLE handle, uint32_t kind, uint32_t, uint32_t userData)
    {
        std::lock_guard<std::mutex> guard(NotificationLock());
        NotificationList().push_back({handle, kind & 0xFFFF, userData});
    }

    THostLinkLibrary& ci_ = THostLinkLibrary::Get();
    std::unique_ptr<TSerialPeer> peer_;

private:
    static std::mutex& NotificationLock()
    {
        static std::mutex lock;
        return lock;
    }
    static std::vector<TNotification>& NotificationList()
    {
        static std::vector<TNotification> list;
        return list;
    }

    std::vector<CI_HANDLE> created_;
};
