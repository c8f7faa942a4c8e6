#include "python/ReportTransfer.h"

#include <nlohmann/json.hpp>

namespace pyparandel
{
namespace
{
void ReadPoints(const nlohmann::json& j, app::PointSet& p)
{
    p.x = j.at("x").get<std::vector<double>>();
    p.y = j.at("y").get<std::vector<double>>();
}
} // namespace

std::string AnalysisJson(const app::FileAnalysis& analysis)
{
    return app::AnalysisToJson({analysis});
}

app::FileAnalysis AnalysisFromJson(const std::string& json)
{
    const nlohmann::json j = nlohmann::json::parse(json);
    app::FileAnalysis a;
    a.file = j.at("file").get<std::string>();
    a.sampleRate = j.at("sample_rate").get<int>();
    const nlohmann::json& c = j.at("correlation");
    a.correlation.every100ms = c.at("every_100ms").get<std::vector<double>>();
    a.correlation.min = c.at("min").get<double>();
    a.correlation.mean = c.at("mean").get<double>();
    a.correlation.final = c.at("final").get<double>();
    a.correlation.shareBelowZero = c.at("share_below_zero").get<double>();
    const nlohmann::json& s = j.at("scope");
    ReadPoints(s.at("polar"), a.polar);
    ReadPoints(s.at("lissajous"), a.lissajous);
    ReadPoints(s.at("flame").at("current"), a.flameCurrent);
    ReadPoints(s.at("flame").at("peak"), a.flamePeak);
    ReadPoints(s.at("source"), a.source);
    return a;
}
} // namespace pyparandel
