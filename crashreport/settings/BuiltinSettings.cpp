#include "settings/BuiltinSettings.h"

#include <array>

namespace {

constexpr TBuiltinSetting Bool(const char* name, bool value)
{
    return {name, TSettingKind::Boolean, value, 0, nullptr};
}

constexpr TBuiltinSetting Int(const char* name, int32_t value)
{
    return {name, TSettingKind::Integer, false, value, nullptr};
}

// Stored as a boolean record but read as an integer.
constexpr TBuiltinSetting IntAsBool(const char* name, int32_t value)
{
    return {name, TSettingKind::Boolean, false, value, nullptr};
}

constexpr TBuiltinSetting Text(const char* name, const char* value)
{
    return {name, TSettingKind::Text, false, 0, value};
}

constexpr std::array<TBuiltinSetting, kBuiltinSettingCount> kBuiltinSettings = {{
    Bool("Enabled", false),
    Bool("NoSettings", true),
    Bool("CheckFileCrc", true),
    Bool("CheckFreeze", false),
    Int("FreezeTimeout", 60),
    Bool("WindowsLogo", false),
    Bool("ReportLeaks", false),
    Bool("CrashOnOverrun", false),
    Bool("CrashOnUnderrun", false),
    Bool("AutoSave", true),
    Bool("AutoSaveIfNotSent", true),
    Bool("AutoSend", false),
    Bool("AutoSendBox", false),
    Bool("AutoClip", true),
    Bool("PauseThreads", false),
    Bool("PlWaitBox", true),
    Bool("AutoContinue", false),
    Int("AutoRestart", 0),
    Int("AutoClose", 0),
    Int("AutoDelay", 60),
    Bool("SendBtnVis", true),
    Bool("SaveBtnVis", false),
    Bool("PrintBtnVis", false),
    Bool("ShowBtnVis", true),
    Bool("ContinueBtnVis", true),
    Bool("RestartBtnVis", true),
    Bool("CloseBtnVis", true),
    IntAsBool("FocusedBtn", 0),
    Text("SendAssis", nullptr),
    Text("SaveAssis", nullptr),
    Text("PrintAssis", nullptr),
    Bool("AutoShowBugRep", false),
    Bool("UglyBtns", false),
    Bool("SendInBackgr", true),
    Bool("UploadViaHttp", false),
    Text("HttpServer", nullptr),
    Bool("HttpSsl", false),
    Int("HttpPort", 0),
    Text("HttpAccount", nullptr),
    Text("HttpPassword", nullptr),
    Bool("FogBugz", false),
    Bool("BugZilla", false),
    Bool("Mantis", false),
    Text("BugTrAccount", nullptr),
    Text("BugTrPassword", nullptr),
    Text("BugTrProject", nullptr),
    Text("BugTrArea", nullptr),
    Text("BugTrAssignTo", nullptr),
    Bool("MailAsSmtpServer", false),
    Bool("MailAsSmtpClient", false),
    Text("SmtpServer", nullptr),
    Bool("SmtpSsl", false),
    Bool("SmtpTls", false),
    Int("SmtpPort", 0),
    Text("SmtpAccount", nullptr),
    Text("SmtpPassword", nullptr),
    Bool("MailViaMapi", true),
    Bool("MailViaMailto", true),
    Text("MailAddr", nullptr),
    Bool("AttachBugRep", true),
    Bool("AttachBugRepFile", true),
    Bool("DelBugRepFile", true),
    Text("BugRepSendAs", "bugreport.zbr"),
    Text("BugRepZip", nullptr),
    Int("ScrShotDepth", 0),
    Bool("ScrShotAppOnly", true),
    Text("ScrShotSendAs", "screenshot.png"),
    Text("ScrShotZip", nullptr),
    Text("AddAttachs", nullptr),
    Text("MailFrom", nullptr),
    Text("AddFields", nullptr),
    Text("BugRepFile", "bugreport.zbr"),
    Bool("AppendBugReps", true),
    Int("BugRepFileSize", 100000),
    Bool("NoDupExcepts", true),
    Bool("NoDupFreezes", true),
    IntAsBool("DupExceptDef", 1),
    IntAsBool("DupFreezeDef", 2),
    Bool("ListThreads", true),
    Bool("CpuRegs", true),
    Bool("StackDump", true),
    Bool("ShowDisAsm", true),
    Bool("HideUglyItems", false),
    Bool("ShowRelAddrs", true),
    Bool("ShowRelLines", true),
    Bool("FormatDisAsm", false),
    Int("LimitDisAsm", 5),
    Text("Plugins", "modules|processes|hardware"),
    Text("F1Classes", nullptr),
    Bool("F1NoBugRep", false),
    Bool("F1NoScrShot", false),
    Bool("F1NoHandlers", false),
    Bool("F1NoSuspend", false),
    IntAsBool("F1ShowCfg", 0),
    Text("F1Assis", nullptr),
    Text("F2Classes", nullptr),
    Bool("F2NoBugRep", false),
    Bool("F2NoScrShot", false),
    Bool("F2NoHandlers", false),
    Bool("F2NoSuspend", false),
    IntAsBool("F2ShowCfg", 0),
    Text("F2Assis", nullptr),
    Bool("GnNoBugRep", false),
    Bool("GnNoScrShot", false),
    Bool("GnNoHandlers", false),
    Bool("GnNoSuspend", false),
    IntAsBool("GnShowCfg", 0),
    Text("GnAssis", nullptr),
    Text("TitleBar", "%appname%"),
    Text("ExceptMsg", "An error occurred in the application."),
    Text("FrozenMsg", "The application seems to be frozen."),
    Text("BitFaultMsg", "The file \"%modname%\" seems to be corrupt!"),
    Text("SendBtnTxt", "send bug report"),
    Text("SaveBtnTxt", "save bug report"),
    Text("PrintBtnTxt", "print bug report"),
    Text("ShowBtnTxt", "show bug report"),
    Text("ContinueBtnTxt", "continue application"),
    Text("RestartBtnTxt", "restart application"),
    Text("CloseBtnTxt", "close application"),
    Text("OkBtnTxt", "&OK"),
    Text("DetailsBtnTxt", "&Details"),
    Text("PlWaitTitle", "Information"),
    Text("PlWaitText", "Please wait a moment..."),
    Text("BugTrTitle", "%appname%, %exceptMsg%"),
    Text("BugTrDescr", "error details: \r\n%errorDetails%"),
    Text("MailSubj", "bug report"),
    Text("MailBody", "please find the bug report attached"),
    Text("SendBoxTitle", "Sending bug report..."),
    Text("PrepAttMsg", "Prepare attachments..."),
    Text("MxLookMsg", "Searching for mail server..."),
    Text("ConnMsg", "Connecting to server..."),
    Text("SendMailMsg", "Sending mail..."),
    Text("FieldMsg", "Setting fields..."),
    Text("SendAttMsg", "Sending attachments..."),
    Text("SendFinalMsg", "Finalizing..."),
    Text("SendFailMsg", "Sorry, sending the bug report didn't work."),
    Int("VersionVar", 0),
}};

} // namespace

std::span<const TBuiltinSetting> BuiltinSettings()
{
    return kBuiltinSettings;
}

const TBuiltinSetting* FindBuiltinSetting(std::string_view name)
{
    for (const TBuiltinSetting& setting : kBuiltinSettings)
        if (name == setting.name)
            return &setting;
    return nullptr;
}
