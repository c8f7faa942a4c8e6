#pragma once
// What the plug-in offers to its vectorscope and the GRID drawer: moving Pan and Width as if the
// user had turned the knobs. Called on the editor thread; the implementation takes the plug-in
// mutex itself. Operations keep this order (slots 0 … 4).

class TWVectorscopePlug
{
public:
    // Pan becomes pan × 100 % (pan in −1 … 1), bounded to the parameter's range.
    virtual void SetPan(double pan) = 0;
    // Pan's normalised value plus delta, bounded to 0 … 1.
    virtual void AddPan(double delta) = 0;
    // Width's normalised value plus delta, bounded to 0 … 1.
    virtual void AddWidth(double delta) = 0;
    // Two spare operations; the plug-in leaves them empty and nothing calls them.
    virtual void Unused3() {}
    virtual void Unused4() {}

protected:
    // Never deleted through this interface: the plug-in object owns itself.
    ~TWVectorscopePlug() = default;
};
