#pragma once
// One curve of a graph: its points as surface coordinates (pixels, origin bottom-left, y up),
// the mapping that turns data values into those coordinates, and its drawing style. Owned by its
// graph; the graph's setters fill it under the plug-in mutex.

#include "framework/ParamSmoother.h"
#include "framework/SampleBuffer.h"

// A curve coordinate with this value is not drawn.
constexpr double UNDEFINED_VALUE = 1e16;

class GraphCurve4
{
public:
    // numValues points, all at (0, 0).
    explicit GraphCurve4(int numValues);
    virtual ~GraphCurve4() = default;

    GraphCurve4(const GraphCurve4&) = delete;
    GraphCurve4& operator=(const GraphCurve4&) = delete;

    static bool IsDefined(double x, double y)
    {
        return x != UNDEFINED_VALUE && y != UNDEFINED_VALUE;
    }

    // X mapping.
    bool xdBScale = false;
    double minX = 0.0;
    double maxX = 1.0;
    // Y mapping.
    bool ydBScale = false;
    double minY = 0.0;
    double maxY = 1.0;

    // Colour components 0 … 1.
    float colorR = 0.0f;
    float colorG = 0.0f;
    float colorB = 0.0f;
    double alpha = 1.0; // stroke alpha

    double lineWidth = 1.0; // stroke width of line mode
    double pointSize = 1.0; // quad size of points mode, stroke width of rays and linked modes

    bool pointStyle = false;   // points instead of a line
    bool pointsAsRays = false; // rays from the bottom centre
    bool linkPoints = false;   // polyline through the points
    bool doFill = false;
    bool bevel = false;
    bool additive = false;

    double fillOrigin = 0.0; // fraction of the height that the fill under a line reaches
    double fillAlpha = 0.125;

    int numValues;
    SampleBuffer xValues;
    SampleBuffer yValues;

    // Display smoothing of the curve's values; kept at rest by this editor.
    ParamSmoother smoother;
};
