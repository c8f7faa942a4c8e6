#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"

#include "hosts/au/BinaryPlistCheck.h"
#include "hosts/au/CFTypes.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace fuzz
{
namespace
{
// The nodes of a libplist tree and its depth (the top node at 0), counted without recursing.
std::pair<uint64_t, uint64_t> NodesAndDepth(plist_t root)
{
    uint64_t nodes = 0, deepest = 0;
    std::vector<std::pair<plist_t, uint64_t>> stack = {{root, 0}};
    while (!stack.empty())
    {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        ++nodes;
        deepest = std::max(deepest, depth);
        if (plist_get_node_type(node) == PLIST_ARRAY)
        {
            plist_array_iter it = nullptr;
            plist_array_new_iter(node, &it);
            for (plist_t item = nullptr; it;)
            {
                plist_array_next_item(node, it, &item);
                if (!item)
                    break;
                stack.push_back({item, depth + 1});
            }
            std::free(it);
        }
        else if (plist_get_node_type(node) == PLIST_DICT)
        {
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            for (;;)
            {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, it, &key, &value);
                if (!key)
                    break;
                std::free(key);
                ++nodes; // the key, a node of its own one level down
                deepest = std::max(deepest, depth + 1);
                stack.push_back({value, depth + 1});
            }
            std::free(it);
        }
    }
    return {nodes, deepest};
}
} // namespace

int FuzzBinaryPlist(const uint8_t* data, size_t size)
{
    // Always a binary property list, so that every input reaches the check.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.compare(0, 8, "bplist00") != 0)
        bytes.insert(0, "bplist00");
    const auto* raw = reinterpret_cast<const uint8_t*>(bytes.data());
    const PlistCheck check = CheckBinaryPlist(raw, bytes.size());
    if (check == PlistCheck::Fine)
    {
        // What passes is what libplist reads without harm, within the bounds.
        plist_t root = nullptr;
        plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
        if (root)
        {
            const auto [nodes, depth] = NodesAndDepth(root);
            FuzzRequire(nodes <= kMaxPlistObjects, "a list that passes holds at most the bound");
            FuzzRequire(depth <= static_cast<uint64_t>(kMaxPlistDepth),
                        "a list that passes nests at most to the bound");
            plist_free(root);
        }
        return 0;
    }
    // What fails is refused by the reader with the check's reason.
    CFDataRef cfData = CFDataCreate(kCFAllocatorDefault, raw, static_cast<CFIndex>(bytes.size()));
    CFErrorRef error = nullptr;
    CFPropertyListRef plist =
        CFPropertyListCreateWithData(kCFAllocatorDefault, cfData, 0, nullptr, &error);
    CFRelease(cfData);
    FuzzRequire(plist == nullptr && error != nullptr, "a list that fails the check is refused");
    CFStringRef text = CFErrorCopyDescription(error);
    const char* c = CFStringGetCStringPtr(text, kCFStringEncodingUTF8);
    FuzzRequire(c && std::string(c).find(PlistCheckText(check)) != std::string::npos,
                "the refusal names the check's reason");
    CFRelease(text);
    CFRelease(error);
    return 0;
}
} // namespace fuzz
