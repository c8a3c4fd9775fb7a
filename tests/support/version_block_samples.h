#pragma once

// Version-information blocks built the way resource compilers lay them out, for the reader's tests
// and the fuzzers' seeds.

#include "shell/version_block.h"
#include "support/sample_bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace corvalo::test {

// Builds version-information blocks the way resource compilers lay them out, in either layout.
struct Node {
    std::string key;
    std::vector<uint8_t> value;  // binary value, or the text's characters without the zero
    bool text = false;
    std::vector<Node> children;
};

inline Node Text(std::string key, std::string value) {
    return Node{std::move(key), std::vector<uint8_t>(value.begin(), value.end()), true, {}};
}

inline Node Branch(std::string key, std::vector<Node> children) {
    return Node{std::move(key), {}, false, std::move(children)};
}

inline void Pad(std::vector<uint8_t>& out) {
    while (out.size() % 4 != 0)
        out.push_back(0);
}

// Every node starts 4-byte aligned, so padding relative to the block is padding relative to it.
inline void Encode(const Node& node, bool wide, std::vector<uint8_t>& out) {
    const size_t start = out.size();
    out.resize(start + (wide ? 6 : 4), 0);
    size_t valueLength = node.value.size();
    if (node.text)
        valueLength += 1;  // the terminating zero counts
    PutU16(out, start + 2, valueLength);
    if (wide)
        PutU16(out, start + 4, node.text ? 1 : 0);
    for (char c : node.key) {
        out.push_back(static_cast<uint8_t>(c));
        if (wide)
            out.push_back(0);
    }
    out.push_back(0);
    if (wide)
        out.push_back(0);
    Pad(out);
    for (uint8_t byte : node.value) {
        out.push_back(byte);
        if (wide && node.text)
            out.push_back(0);
    }
    if (node.text) {
        out.push_back(0);
        if (wide)
            out.push_back(0);
    }
    for (const Node& child : node.children) {
        Pad(out);
        Encode(child, wide, out);
    }
    PutU16(out, start, out.size() - start);
}

inline std::vector<uint8_t> Block(const Node& root, bool wide) {
    std::vector<uint8_t> out;
    Encode(root, wide, out);
    return out;
}

inline Bytes FixedInfoBytes() {
    const uint32_t fields[13] = {0xFEEF04BD, 0x00010000, 0x00010002, 0x00030004, 0x00050006,
                                 0x00070008, 0x3F,       0,          0x40004,    1,
                                 0,          0,          0};
    Bytes bytes;
    for (uint32_t field : fields)
        AppendU32(bytes, field);
    return bytes;
}

inline Bytes TranslationBytes(std::vector<Translation> table) {
    Bytes bytes;
    for (const Translation& t : table) {
        AppendU16(bytes, t.language);
        AppendU16(bytes, t.codePage);
    }
    return bytes;
}

// A typical program's block: two string tables, the first without a product name.
inline Node TypicalRoot() {
    return Node{
        "VS_VERSION_INFO",
        FixedInfoBytes(),
        false,
        {Branch("StringFileInfo", {Branch("040904B0", {Text("CompanyName", "Example Ltd"),
                                                       Text("FileDescription", "Example tool")}),
                                   Branch("040704E4", {Text("CompanyName", "Beispiel GmbH"),
                                                       Text("ProductName", "Beispiel")})}),
         Branch("VarFileInfo", {Node{"Translation",
                                     TranslationBytes({{0x0409, 0x04B0}, {0x0407, 0x04E4}}),
                                     false,
                                     {}}})}};
}

}  // namespace corvalo::test
