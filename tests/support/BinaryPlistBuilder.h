#pragma once
// Binary property lists built object by object for tests: four-byte offsets and references,
// objects in the order they are added, the first one on top. Nothing is checked, so that
// damaged, deep, cyclic and shared structures can be made as easily as proper ones.

#include <cstdint>
#include <string>
#include <vector>

class BinaryPlistBuilder
{
public:
    // An array of the objects with these indices; returns its own index.
    uint32_t Array(const std::vector<uint32_t>& refs) { return Container(0xA0, refs); }
    // A dictionary: keys[i] maps to values[i].
    uint32_t Dict(const std::vector<uint32_t>& keys, const std::vector<uint32_t>& values)
    {
        std::vector<uint32_t> refs = keys;
        refs.insert(refs.end(), values.begin(), values.end());
        return Container(0xD0, refs, keys.size());
    }
    uint32_t Ascii(const std::string& text) { return Add(Counted(0x50, text.size()) + text); }
    // Replaces an object already added (to close a cycle).
    void SetArray(uint32_t index, const std::vector<uint32_t>& refs)
    {
        mObjects[index] = ContainerBytes(0xA0, refs, refs.size());
    }
    uint32_t Count() const { return static_cast<uint32_t>(mObjects.size()); }

    std::string Bytes() const
    {
        std::string out = "bplist00", table;
        for (const std::string& o : mObjects)
        {
            table += BigEndian(out.size(), 4);
            out += o;
        }
        const size_t tableOffset = out.size();
        out += table;
        return out + std::string(6, '\0') + '\x04' + '\x04' + BigEndian(mObjects.size(), 8) +
               BigEndian(0, 8) + BigEndian(tableOffset, 8);
    }

private:
    static std::string BigEndian(uint64_t v, int n)
    {
        std::string s(n, '\0');
        for (int i = n - 1; i >= 0; --i, v >>= 8)
            s[i] = static_cast<char>(v & 0xFF);
        return s;
    }
    static std::string Counted(uint8_t marker, size_t count)
    {
        if (count < 15)
            return std::string(1, static_cast<char>(marker | count));
        return std::string(1, static_cast<char>(marker | 0x0F)) + '\x12' + BigEndian(count, 4);
    }
    static std::string ContainerBytes(uint8_t marker, const std::vector<uint32_t>& refs,
                                      size_t count)
    {
        std::string s = Counted(marker, count);
        for (uint32_t r : refs)
            s += BigEndian(r, 4);
        return s;
    }
    uint32_t Container(uint8_t marker, const std::vector<uint32_t>& refs, size_t count)
    {
        return Add(ContainerBytes(marker, refs, count));
    }
    uint32_t Container(uint8_t marker, const std::vector<uint32_t>& refs)
    {
        return Container(marker, refs, refs.size());
    }
    uint32_t Add(std::string bytes)
    {
        mObjects.push_back(std::move(bytes));
        return Count() - 1;
    }

    std::vector<std::string> mObjects;
};

// Arrays nested depth deep, the innermost one empty: each holds the next object.
inline std::string NestedArrays(uint32_t depth)
{
    BinaryPlistBuilder b;
    for (uint32_t i = 0; i + 1 < depth; ++i)
        b.Array({i + 1});
    b.Array({});
    return b.Bytes();
}

// "Billion laughs": levels arrays of width references each to the next, the last to one string,
// so that width^levels strings are reached from the top through a few hundred bytes.
inline std::string SharedArrays(uint32_t levels, uint32_t width)
{
    BinaryPlistBuilder b;
    for (uint32_t i = 0; i < levels; ++i)
        b.Array(std::vector<uint32_t>(width, i + 1));
    b.Ascii("laugh");
    return b.Bytes();
}
