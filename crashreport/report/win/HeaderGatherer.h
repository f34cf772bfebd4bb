#pragma once
// The header fields of a report, in their order, each computed on its own: a field whose
// computation fails is left out and the next one is tried.
#include "ReportSubject.h"
#include "report/ReportFacts.h"

THeaderFields GatherHeader(const TReportSubject& subject);
