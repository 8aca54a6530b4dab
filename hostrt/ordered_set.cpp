// OrderedSet as an AVL tree with parent links: the parent links let First/Next walk in order and let
// Clear free every element without recursion or a stack of its own.
#include "hostrt/ordered_set.h"

#include "hostrt/core.h"

namespace {

std::int32_t HeightOf(const OrderedItem* node)
{
    return node == nullptr ? 0 : node->treeHeight;
}

void UpdateHeight(OrderedItem* node)
{
    std::int32_t left = HeightOf(node->treeLeft);
    std::int32_t right = HeightOf(node->treeRight);
    node->treeHeight = 1 + (left > right ? left : right);
}

// Puts child where node was below node's parent (or at the root).
void ReplaceChild(OrderedItem*& root, OrderedItem* node, OrderedItem* child)
{
    OrderedItem* parent = node->treeParent;
    child->treeParent = parent;
    if (parent == nullptr)
        root = child;
    else if (parent->treeLeft == node)
        parent->treeLeft = child;
    else
        parent->treeRight = child;
}

// The two links of a node; a rotation or a balance step on one side mirrors the other.
using Link = OrderedItem* OrderedItem::*;

struct Side {
    Link up;
    Link down;
};
constexpr Side kSides[] = {{&OrderedItem::treeLeft, &OrderedItem::treeRight},
                           {&OrderedItem::treeRight, &OrderedItem::treeLeft}};

// Lifts node's child on the up side above node; returns the new top of the subtree.
OrderedItem* Rotate(OrderedItem*& root, OrderedItem* node, Link up, Link down)
{
    OrderedItem* pivot = node->*up;
    ReplaceChild(root, node, pivot);
    node->*up = pivot->*down;
    if (node->*up != nullptr) (node->*up)->treeParent = node;
    pivot->*down = node;
    node->treeParent = pivot;
    UpdateHeight(node);
    UpdateHeight(pivot);
    return pivot;
}

// Height of the up side minus that of the down side.
std::int32_t Lean(const OrderedItem* node, Link up, Link down)
{
    return HeightOf(node->*up) - HeightOf(node->*down);
}

// Restores the height balance on the way from a new leaf's parent up to the root.
void Rebalance(OrderedItem*& root, OrderedItem* node)
{
    while (node != nullptr) {
        UpdateHeight(node);
        for (const Side& side : kSides) {
            if (Lean(node, side.up, side.down) < 2) continue;
            // A child leaning inwards is first turned outwards, so that one rotation balances both.
            if (Lean(node->*side.up, side.down, side.up) > 0)
                Rotate(root, node->*side.up, side.down, side.up);
            node = Rotate(root, node, side.up, side.down);
            break;
        }
        node = node->treeParent;
    }
}

OrderedItem* Leftmost(OrderedItem* node)
{
    while (node != nullptr && node->treeLeft != nullptr)
        node = node->treeLeft;
    return node;
}

// Stores the result in *place when there is one; false for no element.
bool Give(OrderedItem* item, OrderedItem** place)
{
    if (place != nullptr) *place = item;
    return item != nullptr;
}

} // namespace

bool OrderedSet::Insert(OrderedItem* item)
{
    if (item == nullptr) return false;
    OrderedItem* parent = nullptr;
    std::int32_t side = 0;
    for (OrderedItem* node = root; node != nullptr; node = side < 0 ? node->treeLeft : node->treeRight) {
        side = item->Compare(*node);
        if (side == 0) return false; // a second element at the same place would hide from Find
        parent = node;
    }
    item->treeLeft = nullptr;
    item->treeRight = nullptr;
    item->treeParent = parent;
    item->treeHeight = 1;
    if (parent == nullptr)
        root = item;
    else if (side < 0)
        parent->treeLeft = item;
    else
        parent->treeRight = item;
    ++Count;
    Rebalance(root, parent);
    return true;
}

bool OrderedSet::Find(const OrderedItem& probe, OrderedItem** found) const
{
    OrderedItem* node = root;
    while (node != nullptr) {
        std::int32_t side = probe.Compare(*node);
        if (side == 0) break;
        node = side < 0 ? node->treeLeft : node->treeRight;
    }
    return Give(node, found);
}

bool OrderedSet::First(OrderedItem** first) const
{
    return Give(Leftmost(root), first);
}

bool OrderedSet::Next(const OrderedItem* item, OrderedItem** next) const
{
    if (item == nullptr) return Give(nullptr, next);
    if (item->treeRight != nullptr) return Give(Leftmost(item->treeRight), next);
    // Up until we arrive from a left subtree: that parent is the next in order.
    const OrderedItem* child = item;
    OrderedItem* parent = item->treeParent;
    while (parent != nullptr && parent->treeRight == child) {
        child = parent;
        parent = parent->treeParent;
    }
    return Give(parent, next);
}

void OrderedSet::Clear()
{
    // The set is empty before the first Dispose runs, so that nothing reached from there sees
    // half-freed elements.
    OrderedItem* node = root;
    root = nullptr;
    Count = 0;
    while (node != nullptr) {
        if (node->treeLeft != nullptr) {
            node = node->treeLeft;
            continue;
        }
        if (node->treeRight != nullptr) {
            node = node->treeRight;
            continue;
        }
        OrderedItem* parent = node->treeParent;
        if (parent != nullptr) (parent->treeLeft == node ? parent->treeLeft : parent->treeRight) = nullptr;
        node->Dispose();
        // The element's block starts at the most derived object, which need not be this base.
        void* block = dynamic_cast<void*>(node);
        FreeBlock(&block);
        node = parent;
    }
}
