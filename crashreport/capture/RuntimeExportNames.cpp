#include "capture/RuntimeExportNames.h"

const std::array<TRuntimeExportName, kRuntimeRoutineCount> kRuntimeExportNames = {{
    {TRuntimeRoutine::AppHandleException, "vcl", "@Forms@TApplication@HandleException$qqrp14System@TObject"},
    {TRuntimeRoutine::AppShowException, "vcl", "@Forms@TApplication@ShowException$qqrp18Sysutils@Exception"},
    {TRuntimeRoutine::CrossAppHandleException, "vclx", "@Qforms@TApplication@HandleException$qqrp14System@TObject"},
    {TRuntimeRoutine::CrossAppShowException, "vclx", "@Qforms@TApplication@ShowException$qqrp18Sysutils@Exception"},
    {TRuntimeRoutine::ThirdAppHandleException, "vcl", "@Fmx@Forms@TApplication@HandleException$qqrp14System@TObject"},
    {TRuntimeRoutine::ThirdAppShowException, "vcl",
     "@Fmx@Forms@TApplication@ShowException$qqrp25System@Sysutils@Exception"},
    {TRuntimeRoutine::FreeMem, "rtl", "@System@FreeMem$qpv"},
    {TRuntimeRoutine::UtilityShowException, "rtl", "@Sysutils@ShowException$qqrp14System@TObjectpv"},
    {TRuntimeRoutine::LoadPackage, "rtl", "@Sysutils@LoadPackage$qqrx17System@AnsiString"},
    {TRuntimeRoutine::InitializePackage, "rtl", "@Sysutils@InitializePackage$qqrui"},
    {TRuntimeRoutine::RaisingException, "rtl",
     "@Sysutils@Exception@RaisingException$qqrp25Sysutils@TExceptionRecord"},
    {TRuntimeRoutine::GetStackTrace, "rtl", "@Sysutils@Exception@GetStackTrace$qqrv"},
    {TRuntimeRoutine::ExceptionDestructor, "rtl", "@Sysutils@Exception@$bdtr$qqrv"},
    {TRuntimeRoutine::StrAlloc, "rtl", "@Sysutils@StrAlloc$qqrui"},
    {TRuntimeRoutine::CheckSynchronize, "rtl", "@Classes@CheckSynchronize$qqri"},
    {TRuntimeRoutine::StartExe, "rtl", "@System@@StartExe$qqrp23System@PackageInfoTablep17System@TLibModule"},
}};
