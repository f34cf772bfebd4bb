#pragma once
// The report builder as the exception object uses it: the header filled from the exception's
// facts and settings, the sections announced and then built, in a builder thread of their own
// (above normal priority) or in the caller, and the text assembled from the two lists.
#include <functional>
#include <vector>

#include "ReportBuilder.h"
#include "model/win/ExceptionHooks.h"
#include "model/win/ZelException.h"

// The ids of the library's own threads (its exception-handling thread, its watchdog), which
// reports leave out.
using TLibraryThreads = std::function<std::vector<uint32_t>()>;

// What the exception object tells of itself.
TReportSubject SubjectOf(TIZEException& exception, const TLibraryThreads& libraryThreads = {});

class TModelReportBuilder : public IZEReportBuilder {
public:
    // Set once, before the builder serves any exception.
    void SetLibraryThreads(TLibraryThreads libraryThreads) { libraryThreads_ = std::move(libraryThreads); }

    void FillHeader(TIZEException& exception, TZelReportFields& header) override;
    void StartSections(TIZEException& exception, TZelReportFields& sections) override;
    void WaitForReport(TIZEException& exception) override;
    UnicodeString AssembleText(const TReportFieldList& header, const TReportFieldList& sections) override;

private:
    static DWORD WINAPI BuilderThread(void* parameter);
    // The builder procedure: every section, the checksums, completion.
    static void Build(TIZEException& exception, TReportBuilder& builder, TZelReportFields& sections);
    // The same in the caller, with the please-wait alert shown meanwhile.
    static void BuildHere(TIZEException& exception, TReportBuilder& builder, TZelReportFields& sections);

    TLibraryThreads libraryThreads_;
};

// Installs the builder into the exception object's hooks.
void InstallReportBuilder(TLibraryThreads libraryThreads = {});
