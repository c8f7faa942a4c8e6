#include "framework/IPlugBase.h"

#include <cmath>
#include <vector>

// ---- State chunk ----

bool IPlugBase::SerializeState(StateChunk& chunk)
{
    return SerializeParams(chunk);
}

int IPlugBase::UnserializeState(const StateChunk& chunk, int startPos)
{
    return UnserializeParams(chunk, startPos);
}

bool IPlugBase::SerializeParams(StateChunk& chunk)
{
    WDL_MutexLock lock(&mMutex);
    bool ok = true;
    for (int i = 0; i < ParamCount(); ++i)
        ok = chunk.PutDouble(Param(i)->Value()) > 0 && ok;
    return ok;
}

int IPlugBase::ReadParamsChunk(const StateChunk& chunk, int startPos, double* values) const
{
    int pos = startPos;
    for (int i = 0; i < ParamCount() && pos >= 0; ++i)
    {
        double v = 0.0;
        pos = chunk.GetDouble(&v, pos);
        if (!std::isfinite(v))
            return -1;
        if (values)
            values[i] = v;
    }
    return pos;
}

bool IPlugBase::IsValidParamsChunk(const StateChunk& chunk, int startPos) const
{
    return ReadParamsChunk(chunk, startPos, nullptr) >= 0;
}

int IPlugBase::UnserializeParams(const StateChunk& chunk, int startPos)
{
    WDL_MutexLock lock(&mMutex);
    // Everything is read and checked before anything is stored, so that a short or damaged
    // chunk cannot leave a mixture of old, new and made-up values behind.
    std::vector<double> values(static_cast<size_t>(ParamCount()));
    const int pos = ReadParamsChunk(chunk, startPos, values.data());
    if (pos < 0)
        return -1;
    for (int i = 0; i < ParamCount(); ++i)
        Param(i)->SetValue(Param(i)->Clamp(values[i]));
    OnParamReset();
    return pos;
}
