#include "fuzz/FuzzCheck.h"

#include "engine/Parandel.h"
#include "engine/ParandelEntry.h"
#include "hosts/au/IPlugAU.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz
{
std::vector<double> ParamValues(const IPlugBase& plug)
{
    std::vector<double> values;
    for (int i = 0; i < plug.ParamCount(); ++i)
        values.push_back(plug.Param(i)->Value());
    return values;
}

void RequireParamsInRange(const IPlugBase& plug, const char* what)
{
    for (int i = 0; i < plug.ParamCount(); ++i)
    {
        const IParam* p = plug.Param(i);
        const double v = p->Value();
        FuzzRequire(std::isfinite(v) && v >= p->GetMin() && v <= p->GetMax(), what);
    }
}

void RequireSameValues(const std::vector<double>& before, const std::vector<double>& after,
                       const char* what)
{
    FuzzRequire(before.size() == after.size() &&
                    (before.empty() ||
                     std::memcmp(before.data(), after.data(), before.size() * sizeof(double)) == 0),
                what);
}

FuzzUnit::FuzzUnit()
{
    FuzzRequire(OpenAComponent(ParandelRegisterComponent(), &mUnit) == noErr && mUnit,
                "the unit opens");
}

FuzzUnit::~FuzzUnit()
{
    CloseComponent(mUnit);
}

Parandel& FuzzUnit::Plugin() const
{
    return *static_cast<Parandel*>(IPlugAU::FromStorage(GetComponentInstanceStorage(mUnit)));
}
} // namespace fuzz
