#pragma once
// The host toolkit's ordered container. Elements derive from OrderedItem and decide the order
// themselves: Find asks the probe to compare itself with stored elements, so one container answers
// lookups of different kinds (by number, by overlapping range).

#include <cstdint>

class OrderedItem {
public:
    // Position of this (the probe) relative to stored: negative before, 0 match, positive after.
    virtual std::int32_t Compare(const OrderedItem& stored) const = 0;
    // Releases what the element owns, not the element's own block.
    virtual void Dispose() = 0;

    // The container's bookkeeping (a balanced binary tree).
    OrderedItem* treeLeft = nullptr;
    OrderedItem* treeRight = nullptr;
    OrderedItem* treeParent = nullptr;
    std::int32_t treeHeight = 1;

protected:
    ~OrderedItem() = default; // elements are blocks of the core allocator, never deleted
};

class OrderedSet {
public:
    // Stores item at its place in the order (O(log n)); the set owns it from now on. False for a null
    // item and for one that matches a stored element (the set does not take that one).
    virtual bool Insert(OrderedItem* item);
    // True and the stored element for which probe.Compare returned 0 (O(log n)).
    virtual bool Find(const OrderedItem& probe, OrderedItem** found) const;
    // True and the element after item in ascending order; false after the last.
    virtual bool Next(const OrderedItem* item, OrderedItem** next) const;
    virtual bool First(OrderedItem** first) const;
    // Disposes of every element and frees its block (FreeBlock); the set is empty afterwards.
    virtual void Clear();

    std::uint32_t Count = 0; // number of stored elements, read directly by callers
    OrderedItem* root = nullptr;
};
