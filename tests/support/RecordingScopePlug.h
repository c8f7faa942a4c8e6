#pragma once
// A vectorscope's plug-in side that records the pan and width changes the scope asks for.

#include "metering/TWVectorscopePlug.h"

#include <string>
#include <vector>

class RecordingPlug : public TWVectorscopePlug
{
public:
    struct Call
    {
        std::string op;
        double value;
    };
    void SetPan(double pan) override { calls.push_back({"SetPan", pan}); }
    void AddPan(double delta) override { calls.push_back({"AddPan", delta}); }
    void AddWidth(double delta) override { calls.push_back({"AddWidth", delta}); }
    std::vector<Call> calls;
};
