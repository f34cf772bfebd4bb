#include "links/SuspendedNotifications.h"

TSuspendedNotifications::TSuspendedNotifications(TCommIntfHandler& table, uint32_t handle)
    : table_(table), handle_(handle)
{
    hadWindow_ = table_.GetMsgNotifications(handle_, window_, message_, send_);
    hadCallback_ = table_.GetCallBackNotifications(handle_, callback_, userData_);
    table_.UnregisterMsgNotifications(handle_);
    table_.UnregisterCallBackNotifications(handle_);
}

TSuspendedNotifications::~TSuspendedNotifications()
{
    if (hadCallback_)
        table_.RegisterCallBackNotifications(handle_, callback_, userData_);
    if (hadWindow_)
        table_.RegisterMsgNotifications(handle_, window_, message_, send_);
}
