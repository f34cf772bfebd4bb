#pragma once
// Unit tests of the link exports: links in the global handle table, exports called as
// plain functions, host notifications recorded.
#include "api/ApiFrame.h"
#include "common/FakeLink.h"
#include "conduvex.h"
#include "support/RecordedNotifications.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class TLinkTableFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateGlobalHandles();
        RecordedNotifications().clear();
    }
    void TearDown() override { FreeGlobalHandles(); }

    // Puts the link into the table as a host's create would.
    template <class Link>
    static CI_HANDLE Add(const TIntfPtr<Link>& link)
    {
        return GlobalHandles().AddCommInterface(static_cast<ICommunicationInterface*>(link.Get()));
    }

    static std::string ErrorText() { return LastErrorMessage(); }

    // Text out of an export taking (handle, buffer, length), with a roomy buffer.
    template <class Export>
    static std::string TextOf(Export textExport, CI_HANDLE handle)
    {
        char text[512] = {};
        int32_t length = sizeof text;
        EXPECT_EQ(0u, textExport(handle, text, &length)) << ErrorText();
        return std::string(text, static_cast<size_t>(length > 0 ? length : 0));
    }
};
