#pragma once
// CList<T>: a singly linked list with a built-in cursor, and CStack<T>, a linked stack.
// Nodes come from per-type pools (CPool<elem<T>>, CPool<stack_elem<T>>): 256 nodes a
// block, never given back. Values are stored by copy and destroyed when their node is
// freed. append and push are constant-time; they throw std::bad_alloc when a new pool
// block cannot be had, and the container is then unchanged.
//
// The cursor carries the list's one walk: rewind(), then next() until it answers null.
// Nothing checks for a list being changed during its walk; don't append to or remove
// from a list while walking it. Range-for iterates without touching the cursor.
//
// Not thread-safe: the pools are process-wide and unlocked. Main thread only.

#include "support/CPool.h"

#include <cstddef>
#include <iterator>
#include <new>
#include <utility>

template <class T>
struct elem {
    T value;
    elem* next;

    static void* operator new(std::size_t) { return CPool<elem>::allocate(); }
    static void operator delete(void* storage) noexcept { CPool<elem>::release(storage); }
};

template <class T>
class CList {
public:
    CList() noexcept = default;
    CList(const CList& other) { appendAll(other); }
    CList(CList&& other) noexcept { swap(other); }
    CList& operator=(const CList& other)
    {
        if (this != &other) {
            CList copy(other);
            swap(copy);
        }
        return *this;
    }
    CList& operator=(CList&& other) noexcept
    {
        if (this != &other) {
            clear();
            swap(other);
        }
        return *this;
    }
    ~CList() { clear(); }

    // Copies value into a new node at the tail; returns the stored copy.
    T& append(const T& value)
    {
        elem<T>* node = new elem<T>{value, nullptr};
        if (m_tail)
            m_tail->next = node;
        else
            m_head = node;
        m_tail = node;
        ++m_count;
        return node->value;
    }

    // Frees every node; the cursor is reset.
    void clear() noexcept
    {
        elem<T>* node = m_head;
        while (node) {
            elem<T>* next = node->next;
            delete node;
            node = next;
        }
        m_head = m_tail = m_cursor = nullptr;
        m_count = 0;
    }

    // Unlinks and frees the node whose value is stored at item. False, with nothing
    // changed, when no node of this list holds that address. Linear.
    bool remove(const T* item) noexcept
    {
        elem<T>* previous = nullptr;
        for (elem<T>* node = m_head; node; previous = node, node = node->next) {
            if (&node->value != item)
                continue;
            (previous ? previous->next : m_head) = node->next;
            if (node == m_tail)
                m_tail = previous;
            if (m_cursor == node)
                m_cursor = node->next;
            delete node;
            --m_count;
            return true;
        }
        return false;
    }

    // Reverses the order in place: no node is made or freed, so it cannot fail and
    // pointers to values stay valid. The cursor is reset.
    void reverse() noexcept
    {
        elem<T>* previous = nullptr;
        elem<T>* node = m_head;
        m_tail = m_head;
        while (node) {
            elem<T>* next = node->next;
            node->next = previous;
            previous = node;
            node = next;
        }
        m_head = previous;
        m_cursor = nullptr;
    }

    long count() const noexcept { return m_count; }
    bool isEmpty() const noexcept { return m_count == 0; }
    elem<T>* head() const noexcept { return m_head; }
    elem<T>* tail() const noexcept { return m_tail; }

    void rewind() noexcept { m_cursor = m_head; }
    // The value at the cursor, the cursor moving on; null once the walk is past the end.
    T* next() noexcept
    {
        elem<T>* node = m_cursor;
        if (!node)
            return nullptr;
        m_cursor = node->next;
        return &node->value;
    }

    template <class Value, class Node>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = Value*;
        using reference = Value&;

        Iterator() noexcept = default;
        explicit Iterator(Node* node) noexcept : m_node(node) {}
        reference operator*() const noexcept { return m_node->value; }
        pointer operator->() const noexcept { return &m_node->value; }
        Iterator& operator++() noexcept
        {
            m_node = m_node->next;
            return *this;
        }
        Iterator operator++(int) noexcept
        {
            Iterator before = *this;
            m_node = m_node->next;
            return before;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) noexcept
        {
            return a.m_node == b.m_node;
        }

    private:
        Node* m_node = nullptr;
    };
    using iterator = Iterator<T, elem<T>>;
    using const_iterator = Iterator<const T, const elem<T>>;

    iterator begin() noexcept { return iterator(m_head); }
    iterator end() noexcept { return iterator(); }
    const_iterator begin() const noexcept { return const_iterator(m_head); }
    const_iterator end() const noexcept { return const_iterator(); }

private:
    void swap(CList& other) noexcept
    {
        std::swap(m_head, other.m_head);
        std::swap(m_tail, other.m_tail);
        std::swap(m_cursor, other.m_cursor);
        std::swap(m_count, other.m_count);
    }

    void appendAll(const CList& other)
    {
        try {
            for (const T& value : other)
                append(value);
        } catch (...) {
            clear();
            throw;
        }
    }

    elem<T>* m_head = nullptr;
    elem<T>* m_tail = nullptr;
    elem<T>* m_cursor = nullptr;
    long m_count = 0;
};

template <class T>
struct stack_elem {
    T value;
    stack_elem* next; // the node below

    static void* operator new(std::size_t) { return CPool<stack_elem>::allocate(); }
    static void operator delete(void* storage) noexcept { CPool<stack_elem>::release(storage); }
};

template <class T>
class CStack {
public:
    CStack() noexcept = default;
    CStack(const CStack&) = delete;
    CStack& operator=(const CStack&) = delete;
    ~CStack()
    {
        while (pop()) {
        }
    }

    void push(const T& value) { m_top = new stack_elem<T>{value, m_top}; }

    // Takes the top value off (moved into *out when given) and frees its node; false
    // when the stack is empty.
    bool pop(T* out = nullptr)
    {
        stack_elem<T>* node = m_top;
        if (!node)
            return false;
        if (out)
            *out = std::move(node->value);
        m_top = node->next;
        delete node;
        return true;
    }

    // The top value; the stack must not be empty.
    T& top() noexcept { return m_top->value; }
    bool isEmpty() const noexcept { return m_top == nullptr; }

private:
    stack_elem<T>* m_top = nullptr;
};
