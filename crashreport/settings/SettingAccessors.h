#pragma once
// Typed access to every setting by name. IZESettingsAccess reads and stores settings by name;
// IZESettings and IZEModuleSettings add one getter (Name()) and one setter (SetName(value)) per
// setting, made from the tables below.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "text/ZelTypes.h"

// X(kind, name): kind Bool, Int or Text.
#define ZE_SETTINGS_GET_SET(X)                                                                                     \
    X(Bool, AutoSave) X(Bool, AutoSaveIfNotSent) X(Bool, AutoSend) X(Bool, AutoSendBox) X(Bool, AutoClip)            \
    X(Bool, PauseThreads) X(Bool, PlWaitBox) X(Bool, AutoContinue) X(Int, AutoRestart) X(Int, AutoClose)             \
    X(Int, AutoDelay) X(Bool, SendBtnVis) X(Bool, SaveBtnVis) X(Bool, PrintBtnVis) X(Bool, ShowBtnVis)               \
    X(Bool, ContinueBtnVis) X(Bool, RestartBtnVis) X(Bool, CloseBtnVis) X(Int, FocusedBtn) X(Text, SendAssis)        \
    X(Text, SaveAssis) X(Text, PrintAssis) X(Bool, AutoShowBugRep) X(Bool, UglyBtns) X(Bool, SendInBackgr)           \
    X(Text, MailAddr) X(Bool, FogBugz) X(Bool, BugZilla) X(Bool, Mantis) X(Bool, UploadViaHttp) X(Text, HttpServer)  \
    X(Bool, HttpSsl) X(Int, HttpPort) X(Text, HttpAccount) X(Text, HttpPassword) X(Text, BugTrAccount)               \
    X(Text, BugTrPassword) X(Text, BugTrProject) X(Text, BugTrArea) X(Text, BugTrAssignTo)                           \
    X(Bool, MailAsSmtpServer) X(Bool, MailAsSmtpClient) X(Text, SmtpServer) X(Bool, SmtpSsl) X(Bool, SmtpTls)        \
    X(Int, SmtpPort) X(Text, SmtpAccount) X(Text, SmtpPassword) X(Bool, MailViaMapi) X(Bool, MailViaMailto)          \
    X(Text, MailFrom) X(Bool, AttachBugRep) X(Bool, AttachBugRepFile) X(Bool, DelBugRepFile) X(Text, BugRepSendAs)   \
    X(Text, BugRepZip) X(Int, ScrShotDepth) X(Bool, ScrShotAppOnly) X(Text, ScrShotSendAs) X(Text, ScrShotZip)       \
    X(Text, BugRepFile) X(Bool, AppendBugReps) X(Int, BugRepFileSize) X(Bool, NoDupExcepts) X(Bool, NoDupFreezes)    \
    X(Int, DupExceptDef) X(Int, DupFreezeDef) X(Bool, ListThreads) X(Bool, CpuRegs) X(Bool, StackDump)              \
    X(Bool, ShowDisAsm) X(Bool, HideUglyItems) X(Bool, ShowRelAddrs) X(Bool, ShowRelLines) X(Bool, FormatDisAsm)     \
    X(Int, LimitDisAsm) X(Text, TitleBar) X(Text, ExceptMsg) X(Text, FrozenMsg) X(Text, BitFaultMsg)                 \
    X(Text, SendBtnTxt) X(Text, SaveBtnTxt) X(Text, PrintBtnTxt) X(Text, ShowBtnTxt) X(Text, ContinueBtnTxt)         \
    X(Text, RestartBtnTxt) X(Text, CloseBtnTxt) X(Text, OkBtnTxt) X(Text, DetailsBtnTxt) X(Text, PlWaitTitle)        \
    X(Text, PlWaitText) X(Text, BugTrTitle) X(Text, BugTrDescr) X(Text, MailSubj) X(Text, MailBody)                  \
    X(Text, SendBoxTitle) X(Text, PrepAttMsg) X(Text, MxLookMsg) X(Text, ConnMsg) X(Text, SendMailMsg)               \
    X(Text, FieldMsg) X(Text, SendAttMsg) X(Text, SendFinalMsg) X(Text, SendFailMsg)

// Module-level settings with a getter and a setter.
#define ZE_MODULE_SETTINGS_GET_SET(X)                                                                              \
    X(Bool, WindowsLogo) X(Text, F1Classes) X(Text, F2Classes) X(Bool, F1NoBugRep) X(Bool, F2NoBugRep)               \
    X(Bool, GnNoBugRep) X(Bool, F1NoScrShot) X(Bool, F2NoScrShot) X(Bool, GnNoScrShot) X(Bool, F1NoSuspend)          \
    X(Bool, F2NoSuspend) X(Bool, GnNoSuspend) X(Bool, F1NoHandlers) X(Bool, F2NoHandlers) X(Bool, GnNoHandlers)      \
    X(Int, F1ShowCfg) X(Int, F2ShowCfg) X(Int, GnShowCfg) X(Text, F1Assis) X(Text, F2Assis) X(Text, GnAssis)

// Module-level settings that are only read.
#define ZE_MODULE_SETTINGS_GET(X)                                                                                  \
    X(Bool, Enabled) X(Bool, CheckFileCrc) X(Bool, CheckFreeze) X(Int, FreezeTimeout) X(Bool, ReportLeaks)

using TSettingName = std::string_view;

class TIZEFields;
class TIZEAttachments;

class IZESettingsAccess {
public:
    virtual ~IZESettingsAccess() = default;
    virtual bool GetSettingBool(TSettingName name) = 0;
    virtual int32_t GetSettingInt(TSettingName name) = 0;
    virtual UnicodeString GetSettingText(TSettingName name) = 0;
    virtual bool SetSettingBool(TSettingName name, bool value) = 0;
    virtual bool SetSettingInt(TSettingName name, int32_t value) = 0;
    virtual bool SetSettingText(TSettingName name, const UnicodeString& value) = 0;
};

#define ZE_TYPE_Bool bool
#define ZE_TYPE_Int int32_t
#define ZE_TYPE_Text UnicodeString
#define ZE_GETTER(kind, name)                                                                                      \
    ZE_TYPE_##kind name() { return GetSetting##kind(#name); }
#define ZE_SETTER(kind, name)                                                                                      \
    bool Set##name(const ZE_TYPE_##kind& value) { return SetSetting##kind(#name, value); }
#define ZE_GETTER_SETTER(kind, name) ZE_GETTER(kind, name) ZE_SETTER(kind, name)

class IZESettings : public IZESettingsAccess {
public:
    ~IZESettings() override { LetGoOfLists(); }

    ZE_SETTINGS_GET_SET(ZE_GETTER_SETTER)

    // The additional report fields, read from AddFields on first use and ready for changes.
    std::shared_ptr<TIZEFields> Fields();
    // The additional attachments, read from AddAttachs on first use.
    std::shared_ptr<TIZEAttachments> Attachments();

    // Whether the plug-in is one of the "|"-separated items of Plugins.
    bool PluginEnabled(std::u16string_view name);
    // Adds the plug-in to Plugins or takes it out; nothing changes when it already is so.
    void EnablePlugin(std::u16string_view name, bool enabled);

protected:
    // The lists do not keep their owner alive: they are told when it goes.
    void LetGoOfLists();

private:
    std::mutex listsLock_;
    std::shared_ptr<TIZEFields> fields_;
    std::shared_ptr<TIZEAttachments> attachments_;
};

class IZEModuleSettings : public IZESettings {
public:
    ZE_MODULE_SETTINGS_GET_SET(ZE_GETTER_SETTER)
    ZE_MODULE_SETTINGS_GET(ZE_GETTER)

    // The module's settings node exists.
    virtual bool HasSettings() = 0;
    // NoSettings inverted.
    bool SettingsAreReal() { return !GetSettingBool("NoSettings"); }
    bool MinDebugInfoIsEmpty() { return GetSettingText("MinDebugInfo").empty(); }
    bool CrashOnOverrun() { return GetSettingBool("CrashOnBuffer") && !GetSettingBool("CrashOnUnderrun"); }
    bool CrashOnUnderrun() { return GetSettingBool("CrashOnBuffer") && GetSettingBool("CrashOnUnderrun"); }
    // Reads the module's resource again into its shared records.
    virtual void ReloadSettings() = 0;
};

#undef ZE_GETTER_SETTER
#undef ZE_SETTER
#undef ZE_GETTER
#undef ZE_TYPE_Bool
#undef ZE_TYPE_Int
#undef ZE_TYPE_Text
