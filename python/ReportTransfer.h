#pragma once
// What a report task sends back from a worker of a cluster: one file's FileReport without its
// bitmaps (the pictures travel encoded), as plain values that pickle, and the report rebuilt
// from them, so that the folder written is the one `parandel analyze --report` writes.

#include "app/report/AnalysisReport.h"

#include <string>

namespace pyparandel
{
// One analysis as JSON (the shape of an analyze --json entry) and back, every number exact.
std::string AnalysisJson(const app::FileAnalysis& analysis);
app::FileAnalysis AnalysisFromJson(const std::string& json);
} // namespace pyparandel
