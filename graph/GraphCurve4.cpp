#include "graph/GraphCurve4.h"

GraphCurve4::GraphCurve4(int numValues) : numValues(numValues < 0 ? 0 : numValues)
{
    xValues.Resize(this->numValues);
    yValues.Resize(this->numValues);
    xValues.Zero();
    yValues.Zero();
}
