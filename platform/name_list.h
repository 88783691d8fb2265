// UTF-16 names back to back in one block, read by index: a character holds thousands of names,
// and a string for each costs an allocation for each, when they are made and again when they
// are let go.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class NameList {
public:
    NameList() = default;
    // The names of `names`, in order; so that a plain vector of names serves where a list does.
    NameList(const std::vector<std::u16string>& names) {  // NOLINT(google-explicit-constructor)
        std::size_t units = 0;
        for (const auto& name : names) units += name.size();
        Reserve(names.size(), units);
        for (const auto& name : names) Add(name);
    }

    // Room for `names` names of `units` UTF-16 units in all.
    void Reserve(std::size_t names, std::size_t units) {
        units_.reserve(units);
        ends_.reserve(names);
    }
    void Add(std::u16string_view name) {
        units_.append(name);
        ends_.push_back(units_.size());
    }
    std::size_t Size() const { return ends_.size(); }
    // The units of all names together.
    std::size_t Units() const { return units_.size(); }
    // REQUIRES: index < Size(). Valid until the list next changes.
    std::u16string_view operator[](std::size_t index) const {
        const std::size_t begin = index == 0 ? 0 : ends_[index - 1];
        return std::u16string_view(units_).substr(begin, ends_[index] - begin);
    }

private:
    std::u16string units_;
    std::vector<std::size_t> ends_;  // name i ends where name i + 1 starts
};
