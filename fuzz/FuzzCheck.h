#pragma once
// The invariants the fuzz targets hold the plug-in to, and a unit opened through the component
// entry the way a host opens it.

#include "hosts/au/AUPlatform.h"
#include "fuzz/FuzzRequire.h"

#include <vector>

class IPlugBase;
class Parandel;

namespace fuzz
{
// Every parameter's value, for comparing before and after a refused call.
std::vector<double> ParamValues(const IPlugBase& plug);
// Every parameter holds a finite value within its range.
void RequireParamsInRange(const IPlugBase& plug, const char* what);
// The values are the same bit for bit (a refused call changes nothing).
void RequireSameValues(const std::vector<double>& before, const std::vector<double>& after,
                       const char* what);

// A TW Parandel unit opened through the component entry and closed at the end.
class FuzzUnit
{
public:
    FuzzUnit();
    ~FuzzUnit();
    FuzzUnit(const FuzzUnit&) = delete;
    FuzzUnit& operator=(const FuzzUnit&) = delete;

    AudioUnit Unit() const { return mUnit; }
    Parandel& Plugin() const;

private:
    AudioUnit mUnit = nullptr;
};
} // namespace fuzz
