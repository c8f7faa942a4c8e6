#include "hosts/au/IPlugAU.h"

#include "editor/IGraphics.h"
#include "hosts/au/IPlugAUHelpers.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace IPlugAUHelpers;

namespace
{
// The number a host types for a parameter without display texts (decimal, like atof).
double ParseNumber(const char* text)
{
    return std::atof(text);
}

// The text of a host's string as UTF-8: its own bytes, or a copy in buffer; null when it has
// none or the copy does not fit.
template <size_t N> const char* TextOf(CFStringRef string, char (&buffer)[N])
{
    const char* text = CFStringGetCStringPtr(string, kCFStringEncodingUTF8);
    if (!text && string && CFStringGetCString(string, buffer, N, kCFStringEncodingUTF8))
        text = buffer;
    return text;
}
} // namespace

IParam* IPlugAU::ParamFromID(AudioUnitParameterID paramID) const
{
    return paramID < static_cast<UInt32>(ParamCount()) ? Param(static_cast<int>(paramID)) : nullptr;
}

void IPlugAU::FillParameterInfo(int paramIdx, AudioUnitParameterInfo* info)
{
    IParam* p = Param(paramIdx);
    std::memset(info, 0, sizeof(AudioUnitParameterInfo));
    info->flags = kAudioUnitParameterFlag_CFNameRelease | kAudioUnitParameterFlag_HasCFNameString |
                  kAudioUnitParameterFlag_IsReadable;
    if (p->canAutomate)
        info->flags |= kAudioUnitParameterFlag_IsWritable;
    if (p->isMeta)
        info->flags |= kAudioUnitParameterFlag_IsElementMeta;

    info->cfNameString = MakeCFString(p->GetName());
    std::snprintf(info->name, sizeof(info->name), "%s", p->GetName());

    switch (p->Type())
    {
    case IParam::ParamType::Int:
    case IParam::ParamType::Enum:
        info->unit = kAudioUnitParameterUnit_Indexed;
        break;
    case IParam::ParamType::Bool:
        info->unit = kAudioUnitParameterUnit_Boolean;
        break;
    default:
    {
        const char* label = p->LabelForHost();
        if (label && label[0])
        {
            info->unit = kAudioUnitParameterUnit_CustomUnit;
            info->unitName = MakeCFString(label);
        }
        else
        {
            info->unit = kAudioUnitParameterUnit_Generic;
        }
    }
    }

    double minValue, maxValue;
    p->Bounds(minValue, maxValue);
    info->minValue = static_cast<AudioUnitParameterValue>(minValue);
    info->maxValue = static_cast<AudioUnitParameterValue>(maxValue);
    info->defaultValue = static_cast<AudioUnitParameterValue>(p->Value());

    const char* group = p->GetGroup();
    if (group && group[0])
    {
        int clump = 0;
        for (int i = 0; i < NParamGroups(); ++i)
            if (std::strcmp(group, GetParamGroupName(i)) == 0)
                clump = i + 1;
        if (clump == 0)
            clump = AddParamGroup(group);
        info->flags |= kAudioUnitParameterFlag_HasClump;
        info->clumpID = static_cast<UInt32>(clump);
    }
}

// ---- Parameter properties ----

ComponentResult IPlugAU::DescribeParameterList(const PropertyAddress& a, PropertyInfo* info)
{
    // Only the global scope has parameters; the others list none.
    info->size = a.scope == kAudioUnitScope_Global
                     ? static_cast<UInt32>(ParamCount()) * sizeof(AudioUnitParameterID)
                     : 0;
    return noErr;
}

ComponentResult IPlugAU::GetParameterList(const PropertyAddress& a, void* data)
{
    auto* ids = static_cast<AudioUnitParameterID*>(data);
    for (UInt32 i = 0; a.scope == kAudioUnitScope_Global && i < static_cast<UInt32>(ParamCount());
         ++i)
        ids[i] = i;
    return noErr;
}

ComponentResult IPlugAU::DescribeParameterElement(const PropertyAddress& a, PropertyInfo*)
{
    return a.elementIdx >= 0 && a.elementIdx < ParamCount() ? noErr : kAudioUnitErr_InvalidElement;
}

ComponentResult IPlugAU::GetParameterInfo(const PropertyAddress& a, void* data)
{
    FillParameterInfo(a.elementIdx, static_cast<AudioUnitParameterInfo*>(data));
    return noErr;
}

// A parameter without display texts has no value strings: its size is 0 and the answer an error.
ComponentResult IPlugAU::DescribeValueStrings(const PropertyAddress& a, PropertyInfo* info)
{
    const ComponentResult r = DescribeParameterElement(a, info);
    if (r == noErr && Param(a.elementIdx)->DisplayTextCount() == 0)
    {
        info->size = 0;
        info->status = kAudioUnitErr_InvalidProperty;
    }
    return r;
}

ComponentResult IPlugAU::GetValueStrings(const PropertyAddress& a, void* data)
{
    const IParam* p = Param(a.elementIdx);
    const int n = p->DisplayTextCount();
    CFMutableArrayRef texts = CFArrayCreateMutable(kCFAllocatorDefault, n, &kCFTypeArrayCallBacks);
    for (int i = 0; i < n; ++i)
    {
        CFStringRef s = MakeCFString(p->DisplayTextForValue(i));
        CFArrayAppendValue(texts, s);
        CFRelease(s);
    }
    *static_cast<CFArrayRef*>(data) = texts;
    return noErr;
}

// The request properties (string from value, ID name, clump name, value from string) report
// their size in any scope; only a read in the global scope is served.
ComponentResult IPlugAU::DescribeParameterRequest(const PropertyAddress& a, PropertyInfo* info)
{
    if (a.reading && a.scope != kAudioUnitScope_Global)
        info->status = kAudioUnitErr_InvalidScope;
    return noErr;
}

ComponentResult IPlugAU::GetStringFromValue(const PropertyAddress&, void* data)
{
    auto* req = static_cast<AudioUnitParameterStringFromValue*>(data);
    IParam* p = ParamFromID(req->inParamID);
    if (!p)
        return kAudioUnitErr_InvalidParameter;
    if (!req->inValue)
        return kAudioUnitErr_InvalidPropertyValue;
    p->FormatValue(static_cast<double>(*req->inValue), false, mParamValueString, true);
    req->outString = MakeCFString(mParamValueString);
    return noErr;
}

ComponentResult IPlugAU::GetParameterIDName(const PropertyAddress&, void* data)
{
    auto* req = static_cast<AudioUnitParameterIDName*>(data);
    IParam* p = ParamFromID(req->inID);
    if (!p)
        return kAudioUnitErr_InvalidParameter;
    char name[IParam::kTextSize];
    std::snprintf(name, sizeof(name), "%s", p->GetName());
    if (req->inDesiredLength != kAudioUnitParameterName_Full)
    {
        const int cut = std::max(0, std::min<int>(req->inDesiredLength, IParam::kMaxTextLength));
        name[std::min<size_t>(static_cast<size_t>(cut), std::strlen(name))] = '\0';
    }
    req->outName = MakeCFString(name);
    return noErr;
}

ComponentResult IPlugAU::GetClumpName(const PropertyAddress&, void* data)
{
    auto* req = static_cast<AudioUnitParameterNameInfo*>(data);
    const char* group = req->inID >= 1 && req->inID <= static_cast<UInt32>(NParamGroups())
                            ? GetParamGroupName(static_cast<int>(req->inID) - 1)
                            : nullptr;
    if (!group)
        return kAudioUnitErr_PropertyNotInUse;
    req->outName = MakeCFString(group);
    return noErr;
}

// A text that names no value (no matching display text, no finite number within the range of a
// float) answers an error rather than an unset value.
ComponentResult IPlugAU::GetValueFromString(const PropertyAddress&, void* data)
{
    auto* req = static_cast<AudioUnitParameterValueFromString*>(data);
    IParam* p = ParamFromID(req->inParamID);
    if (!p)
        return kAudioUnitErr_InvalidParameter;
    char buffer[IParam::kTextSize * 4];
    const char* text = TextOf(req->inString, buffer);
    if (!text)
        return kAudioUnitErr_InvalidPropertyValue;
    double v = 0.0;
    if (p->DisplayTextCount() == 0)
        v = p->negateDisplay ? -ParseNumber(text) : ParseNumber(text);
    else if (!p->ValueForDisplayText(text, &v))
        return kAudioUnitErr_InvalidPropertyValue;
    if (!(std::fabs(v) <= FLT_MAX))
        return kAudioUnitErr_InvalidPropertyValue;
    req->outValue = static_cast<AudioUnitParameterValue>(v);
    return noErr;
}

// ---- Fast dispatch ----

ComponentResult IPlugAU::GetParamProc(void* storage, AudioUnitParameterID paramID,
                                      AudioUnitScope scope, AudioUnitElement /*element*/,
                                      AudioUnitParameterValue* value)
{
    IPlugAU* plug = FromStorage(storage);
    if (!plug)
        return badComponentSelector;
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidProperty;
    const IParam* p = plug->ParamFromID(paramID);
    if (!p)
        return kAudioUnitErr_InvalidParameter;
    if (!value)
        return kAudioUnitErr_InvalidPropertyValue;
    WDL_MutexLock lock(plug->GetMutex());
    *value = static_cast<AudioUnitParameterValue>(p->Value());
    return noErr;
}

ComponentResult IPlugAU::SetParamProc(void* storage, AudioUnitParameterID paramID,
                                      AudioUnitScope scope, AudioUnitElement /*element*/,
                                      AudioUnitParameterValue value, UInt32 /*bufferOffset*/)
{
    IPlugAU* plug = FromStorage(storage);
    if (!plug)
        return badComponentSelector;
    if (scope != kAudioUnitScope_Global)
        return kAudioUnitErr_InvalidProperty;
    IParam* p = plug->ParamFromID(paramID);
    if (!p)
        return kAudioUnitErr_InvalidParameter;
    if (!std::isfinite(value))
        return kAudioUnitErr_InvalidPropertyValue;
    WDL_MutexLock lock(plug->GetMutex());
    const int idx = static_cast<int>(paramID);
    p->SetValue(p->Clamp(value));
    if (IGraphics* gui = GetGUI(*plug))
        gui->SetParameterFromPlug(idx, value, false);
    plug->OnParamChange(idx);
    return noErr;
}
