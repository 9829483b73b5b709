#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

#include "pdf/object/SmallBlockPool.h"

namespace corvina {

// An ordered search tree from key to value with the local three-node rotation
// and cached first/last nodes. Nodes are owned by the tree (links are plain
// pointers so destruction and rotation need no recursion); values are released
// through releaseFn.
template <class K, class V>
class TempDict {
public:
    // Entries come and go with their dictionaries: pooled like values.
    struct Node : detail::PooledBlocks {
        Node(const K& k, V v, Node* p) : key(k), value(v), parent(p) {}
        Node(K&& k, V v, Node* p) : key(std::move(k)), value(v), parent(p) {}
        virtual ~Node() = default;
        K key;
        V value;
        Node* parent;
        Node* left = nullptr;
        Node* right = nullptr;
    };
    using ReleaseFn = void (*)(V* slot);

    TempDict() = default;
    TempDict(const TempDict&) = delete;
    TempDict& operator=(const TempDict&) = delete;
    virtual ~TempDict() { RemoveAll(); }

    int Count() const { return count_; }
    Node* First() const { return first_; }
    Node* Last() const { return last_; }
    static Node* Next(Node* n);

    // key compare: K::Compare(const char*) / K::Compare(const K&)
    template <class Key>
    Node* Find(const Key& key) const {
        Node* n = root_;
        while (n) {
            const int c = Cmp(key, n->key);
            if (c == 0) return n;
            n = c < 0 ? n->left : n->right;
        }
        return nullptr;
    }
    // Replaces (releasing the old value) or adds; a new entry copies the key,
    // or takes it when it is given to keep.
    bool Insert(const K& key, V value) { return Place(key, value); }
    bool Insert(K&& key, V value) { return Place(std::move(key), value); }
    // The caller disposes of the value first.
    void EraseNode(Node* node);
    // Releases every value and frees every node.
    void RemoveAll();
    void Swap(TempDict& other) {
        std::swap(root_, other.root_);
        std::swap(count_, other.count_);
        std::swap(first_, other.first_);
        std::swap(last_, other.last_);
    }

protected:
    ReleaseFn releaseFn_ = nullptr;

private:
    static int Cmp(const K& a, const K& b) { return a.Compare(b); }
    template <class Key>
    static int Cmp(const Key& a, const K& b) {
        return -b.Compare(a);
    }
    template <class KeyArg>
    bool Place(KeyArg&& key, V value);
    void Relink(Node* oldChild, Node* newChild);
    void UpdateEnds();
    // Guards against the chains that sorted input builds despite the local
    // rotation: a node inserted far deeper than the entry count warrants makes
    // the smallest too-deep subtree above it perfectly balanced again.
    void RebalanceAbove(Node* node);
    static int SubtreeSize(Node* top);
    static Node* NextWithin(Node* n, Node* top);
    static Node* BuildBalanced(Node** nodes, int lo, int hi, Node* parent);
    // Depth beyond 2 log2(count) that the tree may reach before rebalancing;
    // small dictionaries never get near it.
    static constexpr int kDepthSlack = 32;

    Node* root_ = nullptr;
    int count_ = 0;
    Node* first_ = nullptr;
    Node* last_ = nullptr;
};

template <class K, class V>
typename TempDict<K, V>::Node* TempDict<K, V>::Next(Node* n) {
    if (!n) return nullptr;
    if (n->right) {
        n = n->right;
        while (n->left) n = n->left;
        return n;
    }
    while (n->parent && n->parent->right == n) n = n->parent;
    return n->parent;
}

template <class K, class V>
void TempDict<K, V>::Relink(Node* oldChild, Node* newChild) {
    Node* p = oldChild->parent;
    if (!p)
        root_ = newChild;
    else if (p->left == oldChild)
        p->left = newChild;
    else
        p->right = newChild;
    if (newChild) newChild->parent = p;
}

template <class K, class V>
void TempDict<K, V>::UpdateEnds() {
    first_ = last_ = root_;
    if (!root_) return;
    while (first_->left) first_ = first_->left;
    while (last_->right) last_ = last_->right;
}

template <class K, class V>
template <class KeyArg>
bool TempDict<K, V>::Place(KeyArg&& key, V value) {
    Node* parent = nullptr;
    Node* n = root_;
    int c = 0;
    while (n) {
        c = Cmp(key, n->key);
        if (c == 0) {
            if (releaseFn_) releaseFn_(&n->value);
            n->value = value;
            return true;
        }
        parent = n;
        n = c < 0 ? n->left : n->right;
    }
    const int length = key.Length();
    Node* node = new (std::nothrow) Node(std::forward<KeyArg>(key), value, parent);
    if (!node) return false;
    // A key copy that could not allocate comes out empty instead of failing.
    if (node->key.Length() != length) {
        delete node;
        return false;
    }
    if (!parent)
        root_ = node;
    else if (c < 0)
        parent->left = node;
    else
        parent->right = node;

    // A chain of three single-child nodes becomes a small balanced subtree
    // rooted at the middle key.
    Node* grand = parent ? parent->parent : nullptr;
    if (parent && grand && !(parent->left && parent->right) && !(grand->left && grand->right)) {
        Node* lo;
        Node* mid;
        Node* hi;
        if (grand->right == parent) {
            if (parent->right == node) {
                lo = grand, mid = parent, hi = node;
            } else {
                lo = grand, mid = node, hi = parent;
            }
        } else {
            if (parent->left == node) {
                lo = node, mid = parent, hi = grand;
            } else {
                lo = parent, mid = node, hi = grand;
            }
        }
        Relink(grand, mid);
        mid->left = lo;
        mid->right = hi;
        lo->parent = mid;
        hi->parent = mid;
        lo->left = lo->right = nullptr;
        hi->left = hi->right = nullptr;
    }
    ++count_;
    int depth = 0;
    for (Node* a = node->parent; a; a = a->parent) ++depth;
    if (depth > kDepthSlack && (depth - kDepthSlack >= 62 ||
                                (uint64_t{1} << (depth - kDepthSlack)) >
                                    static_cast<uint64_t>(count_) * static_cast<uint64_t>(count_)))
        RebalanceAbove(node);
    UpdateEnds();
    return true;
}

template <class K, class V>
typename TempDict<K, V>::Node* TempDict<K, V>::NextWithin(Node* n, Node* top) {
    if (n->right) {
        n = n->right;
        while (n->left) n = n->left;
        return n;
    }
    while (n != top && n->parent->right == n) n = n->parent;
    return n == top ? nullptr : n->parent;
}

template <class K, class V>
int TempDict<K, V>::SubtreeSize(Node* top) {
    if (!top) return 0;
    Node* n = top;
    while (n->left) n = n->left;
    int size = 0;
    for (; n; n = NextWithin(n, top)) ++size;
    return size;
}

template <class K, class V>
typename TempDict<K, V>::Node* TempDict<K, V>::BuildBalanced(Node** nodes, int lo, int hi,
                                                             Node* parent) {
    // Recursion depth is log2 of the subtree size.
    if (lo > hi) return nullptr;
    const int mid = lo + (hi - lo) / 2;
    Node* n = nodes[mid];
    n->parent = parent;
    n->left = BuildBalanced(nodes, lo, mid - 1, n);
    n->right = BuildBalanced(nodes, mid + 1, hi, n);
    return n;
}

template <class K, class V>
void TempDict<K, V>::RebalanceAbove(Node* node) {
    // The scapegoat: the lowest ancestor whose height above node exceeds
    // 2 log2 of its subtree size. The root always qualifies here.
    int size = 1;
    int height = 0;
    Node* child = node;
    Node* top = nullptr;
    for (Node* a = node->parent; a; child = a, a = a->parent) {
        ++height;
        size += 1 + SubtreeSize(a->left == child ? a->right : a->left);
        if (height >= 62 ||
            (uint64_t{1} << height) > static_cast<uint64_t>(size) * static_cast<uint64_t>(size)) {
            top = a;
            break;
        }
    }
    if (!top) return;
    Node** nodes = new (std::nothrow) Node*[static_cast<std::size_t>(size)];
    if (!nodes) return;  // the tree stays valid, only deeper
    int k = 0;
    Node* n = top;
    while (n->left) n = n->left;
    for (; n; n = NextWithin(n, top)) nodes[k++] = n;
    Node* parent = top->parent;
    const bool wasLeft = parent && parent->left == top;
    Node* sub = BuildBalanced(nodes, 0, k - 1, parent);
    if (!parent)
        root_ = sub;
    else if (wasLeft)
        parent->left = sub;
    else
        parent->right = sub;
    delete[] nodes;
}

template <class K, class V>
void TempDict<K, V>::EraseNode(Node* node) {
    if (!node) return;
    if (node->left) {
        // Replace by the largest node of the left subtree.
        Node* m = node->left;
        while (m->right) m = m->right;
        if (m != node->left) {
            Relink(m, m->left);
            m->left = node->left;
            m->left->parent = m;
        }
        m->right = node->right;
        if (m->right) m->right->parent = m;
        Relink(node, m);
    } else {
        Relink(node, node->right);
    }
    delete node;
    --count_;
    UpdateEnds();
}

template <class K, class V>
void TempDict<K, V>::RemoveAll() {
    // Iterative post-order teardown: deep trees must not exhaust the stack.
    Node* n = root_;
    while (n) {
        if (n->left) {
            n = n->left;
        } else if (n->right) {
            n = n->right;
        } else {
            Node* p = n->parent;
            if (p) (p->left == n ? p->left : p->right) = nullptr;
            if (releaseFn_) releaseFn_(&n->value);
            delete n;
            n = p;
        }
    }
    root_ = first_ = last_ = nullptr;
    count_ = 0;
}

}  // namespace corvina
