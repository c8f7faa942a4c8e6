#pragma once
// The fuzz targets' entry functions. Each takes one input of any bytes, drives one part of the
// plug-in with it, and ends the program with a one-line reason (FuzzRequire) when an invariant
// breaks, so that libFuzzer reports it; a crash or a sanitizer report is a finding as well.
// libFuzzer calls them through FuzzMain.cpp (the PARANDEL_FUZZ build, clang); the regression
// test replays the stored inputs of fuzz/corpus and fuzz/regression through them in every build.

#include <cstddef>
#include <cstdint>

namespace fuzz
{
// A state chunk restored through the plug-in base and through the class-info property.
int FuzzStateChunk(const uint8_t* data, size_t size);
// Property-list bytes read as a preset file is read, then handed to the unit.
int FuzzPropertyList(const uint8_t* data, size_t size);
// Binary property-list bytes through the check made before libplist reads them: what passes is
// read within the bounds, what fails is refused with its reason.
int FuzzBinaryPlist(const uint8_t* data, size_t size);
// A sequence of property, parameter and lifecycle calls on the adapter with random IDs, scopes,
// elements, sizes, values and null pointers.
int FuzzAdapterCalls(const uint8_t* data, size_t size);
// Rendering with random block lengths, parameters, transport and samples (non-finite ones too).
int FuzzAudioPath(const uint8_t* data, size_t size);
// Atom sequences and time:Position objects of right and wrong sizes and types, in exactly sized
// buffers, through the LV2 plug-in's run call (built with the LV2 adapter, in a library of its
// own: parandel_fuzz_lv2).
int FuzzLV2Atoms(const uint8_t* data, size_t size);
} // namespace fuzz
