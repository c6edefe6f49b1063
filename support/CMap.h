#pragma once
// CMap<K, V>: a map kept as an unbalanced binary search tree plus the list of its nodes
// in insertion order. Keys are unique. The tree is never rebalanced, so its shape follows
// the insertion order: keys inserted in ascending order make one right-leaning chain,
// and search and insertion then cost the number of keys. No operation recurses, so a deep
// chain costs time, never stack.
//
// Key order: CString256 keys by strcmp of their bytes (case-sensitive: ".MOV" and ".mov"
// are two keys), other keys by operator<.
//
// Nodes (Link<K, V>) come from a per-type pool, 256 a block, never given back. insert
// throws std::bad_alloc when a new block cannot be had; the map is then unchanged.
// Not thread-safe; main thread only.

#include "support/CList.h"
#include "support/CPool.h"
#include "support/CString256.h"

#include <cstddef>
#include <cstring>

template <class K, class V>
struct Link {
    K key;
    V value;
    Link* left;  // smaller keys
    Link* right; // greater keys

    static void* operator new(std::size_t) { return CPool<Link>::allocate(); }
    static void operator delete(void* storage) noexcept { CPool<Link>::release(storage); }
};

template <class K>
struct CMapKeyOrder {
    static int compare(const K& a, const K& b) noexcept { return a < b ? -1 : (b < a ? 1 : 0); }
};

template <>
struct CMapKeyOrder<CString256> {
    static int compare(const CString256& a, const CString256& b) noexcept
    {
        return std::strcmp(a.c_str(), b.c_str());
    }
};

template <class K, class V>
class CMap {
public:
    using LinkType = Link<K, V>;

    CMap() : m_defaultValue(vdef()), m_defaultKey(kdef()) {}
    CMap(const CMap&) = delete;
    CMap& operator=(const CMap&) = delete;
    ~CMap() { clear(); }

    // The node holding key, or null.
    LinkType* lookup(const K& key) const noexcept
    {
        LinkType* node = m_root;
        while (node) {
            const int order = CMapKeyOrder<K>::compare(key, node->key);
            if (order == 0)
                return node;
            node = order > 0 ? node->right : node->left;
        }
        return nullptr;
    }

    // The node now holding key: the existing one, its value left as it was, when the key
    // is present; otherwise a new node with copies of key and value. To replace a value,
    // write it through the returned node.
    LinkType* insert(const K& key, const V& value)
    {
        if (LinkType* existing = lookup(key))
            return existing;
        LinkType* node = new LinkType{key, value, nullptr, nullptr};
        try {
            m_links.append(node);
        } catch (...) {
            delete node;
            throw;
        }
        ins(m_root, node);
        ++m_count;
        return node;
    }
    // As insert(key, defaultValue()).
    LinkType* insert(const K& key) { return insert(key, m_defaultValue); }

    // Places node in the tree below slot. True when it was stored in slot itself; an
    // equal key already in the tree stores nothing.
    static bool ins(LinkType*& slot, LinkType* node) noexcept
    {
        LinkType** at = &slot;
        while (*at) {
            const int order = CMapKeyOrder<K>::compare(node->key, (*at)->key);
            if (order == 0)
                return false;
            at = order > 0 ? &(*at)->right : &(*at)->left;
        }
        *at = node;
        return at == &slot;
    }

    // Frees every node; the map is as new.
    void clear() noexcept
    {
        for (LinkType* node : m_links)
            delete node;
        m_links.clear();
        m_root = nullptr;
        m_count = 0;
    }

    long count() const noexcept { return m_count; }
    bool isEmpty() const noexcept { return m_count == 0; }
    LinkType* root() const noexcept { return m_root; }
    // Every node, in insertion order.
    const CList<LinkType*>& links() const noexcept { return m_links; }
    const V& defaultValue() const noexcept { return m_defaultValue; }
    const K& defaultKey() const noexcept { return m_defaultKey; }

    // The value-initialised key and value (empty string, 0, an all-zero record), made on
    // first use and shared by every map of this type.
    static const K& kdef()
    {
        static const K key{};
        return key;
    }
    static const V& vdef()
    {
        static const V value{};
        return value;
    }

private:
    LinkType* m_root = nullptr;
    V m_defaultValue;
    K m_defaultKey;
    CList<LinkType*> m_links;
    long m_count = 0;
};
