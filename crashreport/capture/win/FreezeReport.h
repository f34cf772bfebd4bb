#pragma once
// The freeze watchdog's report: a frozen main thread handed to the sink as a freeze, with
// continuing allowed. Fits TFreezeWatchdog::TFreezeReport (the context is not used).
void ReportFreeze(void* context);
