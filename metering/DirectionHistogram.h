#pragma once
// Stereo-direction histogram behind the FLAME display: the window's sample pairs are sorted into
// numBins directions over half a turn (a sample and its negative share a direction) and each bin
// keeps either the mean or the largest amplitude of its samples, limited to 0.95.
// Bin k covers directions c in [k, k + 1) × π / numBins, with c = π/2 for in-phase mono, 3π/4
// left-only, π/4 right-only and 0 opposite phase. Audio thread: allocates nothing once bins and
// counts have reached numBins.

#include "framework/SampleBuffer.h"
#include "framework/WDL_TypedBuf.h"

// Bin index (0 … numBins − 1) of a sample pair's direction.
int DirectionBin(double left, double right, int numBins);
// The same by way of the display angle and libm's atan2: the definition, which DirectionBin
// follows exactly while taking a faster route away from bin edges.
int DirectionBinByAtan2(double left, double right, int numBins);
// DirectionBin of n pairs into bins, a run at a time (several times faster than one by one).
void DirectionBins(const double* left, const double* right, int n, int numBins, int* bins);
// The same with each pair's amplitude √(L² + R²) into radii; a pair holding a non-finite value
// gets bin −1 and amplitude 0.
void DirectionBinsAndRadii(const double* left, const double* right, int n, int numBins, int* bins,
                           double* radii);

// bins receives numBins values; counts is scratch for the average mode. Pairs holding a
// non-finite value are left out. Bins without samples are 0.
void DirectionHistogram(const SampleBuffer& left, const SampleBuffer& right, int numBins,
                        bool average, SampleBuffer& bins, WDL_TypedBuf<int>& counts);

// The averaging histogram from pairs already reduced to their bin (−1 for a pair left out) and
// amplitude, with each bin's count of pairs known already (binCounts, numBins of them): each
// bin's amplitudes are summed in the pairs' order, as DirectionHistogram sums them.
void DirectionMeansOfPairs(const int* pairBins, const double* radii, int n,
                           const int* binCounts, int numBins, SampleBuffer& bins);
