#include "editor/LICE_FontMatch.h"

#include "editor/BitmapResources.h"

#include <fontconfig/fontconfig.h>

#include <mutex>
#include <strings.h>

namespace
{
struct GenericAlias
{
    const char* face;
    const char* generic;
};

// Faces the editor's styles may name, by the kind of face that stands in for them.
constexpr GenericAlias kGenericAliases[] = {
    {"Monaco", "monospace"},
    {"Menlo", "monospace"},
    {"Courier", "monospace"},
    {"Courier New", "monospace"},
    {"Andale Mono", "monospace"},
    {"Lucida Console", "monospace"},
    {"Consolas", "monospace"},
    {"Tahoma", "sans-serif"},
    {"Geneva", "sans-serif"},
    {"Verdana", "sans-serif"},
    {"Lucida Grande", "sans-serif"},
    {"Helvetica", "sans-serif"},
    {"Helvetica Neue", "sans-serif"},
    {"Arial", "sans-serif"},
    {"Segoe UI", "sans-serif"},
    {"Times", "serif"},
    {"Times New Roman", "serif"},
    {"Georgia", "serif"},
    {"Palatino", "serif"},
};

constexpr const char* kGenericFamilies[] = {"sans-serif", "sans", "serif", "monospace", "mono"};

std::mutex& FontconfigMutex()
{
    static std::mutex mutex;
    return mutex;
}

bool SameName(const char* a, const char* b)
{
    return strcasecmp(a, b) == 0;
}

// The pattern fontconfig matches against: family (none for the reference pattern), weight and
// slant, with the configuration's substitutions applied. The family goes in as a plain string
// so that characters such as ':' or '-' in a face name are never read as pattern syntax.
FcPattern* QueryPattern(const char* family, int weight, bool italic)
{
    FcPattern* pattern = FcPatternCreate();
    if (!pattern)
        return nullptr;
    if (family)
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    return pattern;
}

bool HasFamily(const FcPattern* pattern, const char* family)
{
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &name) == FcResultMatch; ++i)
        if (SameName(reinterpret_cast<const char*>(name), family))
            return true;
    return false;
}

// The matched face stands for the family: it bears the name, or one of its names is among the
// substitutes the configuration lists for this family but not for an unnamed query.
bool StandsFor(const FcPattern* match, const FcPattern* query, const FcPattern* reference,
               const char* family)
{
    if (HasFamily(match, family))
        return true;
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i)
    {
        const char* n = reinterpret_cast<const char*>(name);
        if (HasFamily(query, n) && !HasFamily(reference, n))
            return true;
    }
    return false;
}

bool FileOf(const FcPattern* match, LICE_FontFile* file)
{
    FcChar8* path = nullptr;
    if (!match || FcPatternGetString(match, FC_FILE, 0, &path) != FcResultMatch || !path)
        return false;
    file->path = reinterpret_cast<const char*>(path);
    file->index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &file->index);
    return !file->path.empty();
}

bool IsGeneric(const char* family)
{
    for (const char* g : kGenericFamilies)
        if (SameName(family, g))
            return true;
    return false;
}

// Appends fontconfig's match for the family; with requireName, only when it stands for it.
void AddMatch(const char* family, int weight, bool italic, bool requireName,
              std::vector<LICE_FontFile>* files)
{
    FcPattern* query = QueryPattern(family, weight, italic);
    if (!query)
        return;
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, query, &result);
    LICE_FontFile file;
    if (match && FileOf(match, &file))
    {
        bool ok = !requireName;
        if (requireName)
        {
            FcPattern* reference = QueryPattern(nullptr, weight, italic);
            ok = reference && StandsFor(match, query, reference, family);
            if (reference)
                FcPatternDestroy(reference);
        }
        if (ok)
            files->push_back(file);
    }
    if (match)
        FcPatternDestroy(match);
    FcPatternDestroy(query);
}
} // namespace

const char* LICE_GenericFamilyFor(const char* face)
{
    if (!face)
        return nullptr;
    for (const GenericAlias& alias : kGenericAliases)
        if (SameName(face, alias.face))
            return alias.generic;
    return nullptr;
}

std::vector<LICE_FontFile> LICE_FindFontFiles(const char* face, int weight, bool italic)
{
    std::vector<LICE_FontFile> files;
    const std::string name = face ? face : "";
    {
        std::lock_guard<std::mutex> lock(FontconfigMutex());
        if (FcInit() && !name.empty())
        {
            if (IsGeneric(name.c_str()))
                AddMatch(name.c_str(), weight, italic, false, &files);
            else
                AddMatch(name.c_str(), weight, italic, true, &files);
            const char* generic = LICE_GenericFamilyFor(name.c_str());
            if (files.empty() && generic)
                AddMatch(generic, weight, italic, false, &files);
        }
    }
    WDL_String bundled;
    if (ResourcePath("font.ttf", &bundled) && bundled.GetLength() > 0)
        files.push_back({bundled.Get(), 0});
    std::lock_guard<std::mutex> lock(FontconfigMutex());
    if (FcInit())
        AddMatch(name.empty() ? nullptr : name.c_str(), weight, italic, false, &files);
    return files;
}
