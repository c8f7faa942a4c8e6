#include "engine/lv2/ParandelLV2.h"

#include "engine/Parandel.h"
#include "metering/TWCorrelationComputer.h"

#include <iterator>

namespace
{
// Index 3 was never declared; the graphs are the editor's drawing surfaces, not settings.
constexpr const char* kHidden[] = {"VectorscopeGraph0", "VectorscopeGraph1", "VectorscopeGraph2",
                                   "VectorscopeGraph3", "VectorscopeGraph4"};
constexpr const char* kMeters[] = {"CorrelationMeter", "WidthMeter"};
constexpr const char* kModeLabels[] = {"POLAR", "LISSAJOUS", "FLAME", "GRID", "SOURCE"};

// The correlation of the output (−1 … 1) while the transport runs, and the width setting on the
// width meter's scale (−100 % at 0, 0 at 0.5, +100 % at 1), as the editor's meters show them.
double MeterValue(IPlugBase* plug, int paramIdx)
{
    auto* parandel = static_cast<Parandel*>(plug);
    if (paramIdx == Parandel::kCorrelationMeter)
        return parandel->GetCorrelationComputer()->GetCorrelation();
    if (paramIdx == Parandel::kWidthMeter)
        return parandel->WidthMeterValue();
    return plug->Param(paramIdx)->Value();
}

// The correlation is measured only while its port is connected (or an editor shows it).
void MeterConnected(IPlugBase* plug, int paramIdx, bool connected)
{
    if (paramIdx == Parandel::kCorrelationMeter)
        static_cast<Parandel*>(plug)->SetCorrelationRead(connected);
}

const IPlugLV2Description kDescription = {"http://tarnwel.com/plugins/tw-parandel",
                                          "http://tarnwel.com/plugins/tw-parandel-mono",
                                          "TW Parandel",
                                          kHidden,
                                          static_cast<int>(std::size(kHidden)),
                                          kMeters,
                                          static_cast<int>(std::size(kMeters)),
                                          "VectorscopeMode0",
                                          Parandel::kNumVectorscopeModes,
                                          "vectorscope_mode",
                                          "Vectorscope mode",
                                          kModeLabels,
                                          MeterValue,
                                          MeterConnected};

} // namespace

const IPlugLV2Description& ParandelLV2Description()
{
    return kDescription;
}
