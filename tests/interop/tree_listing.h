// Lists a compound file's whole tree through our reader (platform/storage.h): every element in
// depth-first order, each storage's children in enumeration order, streams with their content.
// The interoperability tests compare such listings with what the peers report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ListedElement {
    int depth = 0;  // 0 for children of the root
    bool isStorage = false;
    std::u16string name;
    std::uint64_t size = 0;
    std::string content;  // streams only

    friend bool operator==(const ListedElement&, const ListedElement&) = default;
};

// Raises Error with the failing call and its result code when the reader refuses the file, an
// element or a read.
std::vector<ListedElement> ListTree(const std::string& path);
