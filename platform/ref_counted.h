// Reference counting for objects that implement component interfaces: the count starts at 1 for
// the creator's reference, and the object deletes itself when the last one is released. The
// virtual destructor comes after every interface slot, so the interfaces' layouts are unchanged.
#pragma once

#include <atomic>

#include "platform/unknown.h"

template <class... Interfaces>
class RefCounted : public Interfaces... {
public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

private:
    std::atomic<ULONG> references_{1};
};
