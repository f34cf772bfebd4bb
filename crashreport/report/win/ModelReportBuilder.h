#pragma once
// The report builder as the exception object uses it: the header filled from the exception's
// facts and settings, the sections announced and then built, in a builder thread of their own
// (above normal priority) or in the caller, and the text assembled from the two lists.
#include <map>
#include <memory>
#include <mutex>

#include "ReportBuilder.h"
#include "model/win/ExceptionHooks.h"
#include "model/win/ZelException.h"

// What the exception object tells of itself.
TReportSubject SubjectOf(TIZEException& exception);

class TModelReportBuilder : public IZEReportBuilder {
public:
    void FillHeader(TIZEException& exception, TZelReportFields& header) override;
    void StartSections(TIZEException& exception, TZelReportFields& sections) override;
    void WaitForReport(TIZEException& exception) override;
    UnicodeString AssembleText(const TReportFieldList& header, const TReportFieldList& sections) override;

private:
    struct TPending {
        std::unique_ptr<TReportBuilder> builder;
        TZelReportFields* sections;
    };

    static DWORD WINAPI BuilderThread(void* parameter);
    // The builder procedure: every section, the checksums, completion.
    static void Build(TIZEException& exception, TReportBuilder& builder, TZelReportFields& sections);
    // The same in the caller, with the please-wait alert shown meanwhile.
    static void BuildHere(TIZEException& exception, TReportBuilder& builder, TZelReportFields& sections);

    // Reports built on demand wait here until their text is first waited for.
    std::mutex pendingLock_;
    std::map<TIZEException*, TPending> pending_;
};

// Installs the builder into the exception object's hooks.
void InstallReportBuilder();
