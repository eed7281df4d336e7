// An ordered map: a red-black tree whose nodes also form a list in key order
// and come from a pool of small blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "foundation/ContainerPolicy.h"

template <typename Key, typename Value, typename KeyPolicy, typename ValuePolicy, typename KeyArg,
          typename Allocator = SProcessHeap>
class CMap {
    static_assert(std::is_trivially_copyable<Key>::value, "keys live in raw pool blocks");
    static_assert(std::is_trivially_copyable<Value>::value, "values live in raw pool blocks");

public:
    static constexpr unsigned char kBlack = 0;
    static constexpr unsigned char kRed = 1;
    static constexpr int32_t kNodesPerBlock = 4;

    struct Node {
        Key key;
        Value value;
        Node* parent;  // null for the root
        Node* left;    // the sentinel when there is no child
        Node* right;
        Node* prev;  // next smaller key; null for the first
        Node* next;  // next larger key; null for the last
        unsigned char colour;
    };

    CMap() {
        sentinel_.parent = nullptr;
        sentinel_.left = &sentinel_;
        sentinel_.right = &sentinel_;
        sentinel_.prev = nullptr;
        sentinel_.next = nullptr;
        sentinel_.colour = kBlack;
    }
    CMap(const CMap&) = delete;
    CMap& operator=(const CMap&) = delete;

    virtual ~CMap() {
        ReturnSubtree(root_);
        FreeAllBlocks();
    }

    bool Lookup(KeyArg key) const {
        const Node* node = root_;
        while (node != &sentinel_) {
            if (node->key < key) {
                node = node->right;
            } else if (key < node->key) {
                node = node->left;
            } else {
                return true;
            }
        }
        return false;
    }

    // Inserts the key with the value, or overwrites the value of a key already
    // present. When a new key needs a pool block that cannot be allocated, the
    // map stays exactly as it was and the result is false.
    [[nodiscard]] bool SetAt(KeyArg key, const Value& value) {
        Node* parent = nullptr;
        Node* node = root_;
        bool isLeftChild = false;
        while (node != &sentinel_) {
            parent = node;
            if (node->key < key) {
                node = node->right;
                isLeftChild = false;
            } else if (key < node->key) {
                node = node->left;
                isLeftChild = true;
            } else {
                ValuePolicy::Release(node->value);
                node->value = value;
                return true;
            }
        }
        Node* fresh = TakeNode();
        if (fresh == nullptr) return false;
        fresh->key = key;
        fresh->value = value;
        fresh->parent = parent;
        fresh->left = &sentinel_;
        fresh->right = &sentinel_;
        fresh->colour = kRed;
        LinkInOrder(fresh, isLeftChild);
        RestoreBalance(fresh);
        ++count_;
        return true;
    }

    int32_t Count() const { return count_; }
    const Node* Root() const { return root_; }
    const Node* First() const { return first_; }
    const Node* Last() const { return last_; }
    const Node* Sentinel() const { return &sentinel_; }
    int32_t NodesInUse() const { return nodesInUse_; }
    int32_t BlockCount() const {
        int32_t blocks = 0;
        for (const Block* block = blocks_; block != nullptr; block = block->link) ++blocks;
        return blocks;
    }

private:
    struct Block {
        Block* link;  // the block allocated before this one
        Node nodes[kNodesPerBlock];
    };

    // A free node carries the next free node in its first word, over its key.
    static_assert(offsetof(Node, parent) >= sizeof(Node*), "the free link fits before parent");
    static Node* NextFree(const Node* node) {
        Node* next;
        std::memcpy(&next, node, sizeof next);
        return next;
    }
    static void SetNextFree(Node* node, Node* next) { std::memcpy(node, &next, sizeof next); }

    Node* TakeNode() {
        if (freeList_ == nullptr) {
            auto* block = static_cast<Block*>(Allocator::Allocate(sizeof(Block)));
            if (block == nullptr) return nullptr;
            block->link = blocks_;
            blocks_ = block;
            for (int32_t i = kNodesPerBlock - 1; i >= 0; --i) {
                SetNextFree(&block->nodes[i], freeList_);
                freeList_ = &block->nodes[i];
            }
        }
        Node* node = freeList_;
        freeList_ = NextFree(node);
        ++nodesInUse_;
        return node;
    }

    void ReturnNode(Node* node) {
        KeyPolicy::Release(node->key);
        ValuePolicy::Release(node->value);
        if (nodesInUse_ <= 1) {
            FreeAllBlocks();
            return;
        }
        SetNextFree(node, freeList_);
        freeList_ = node;
        --nodesInUse_;
    }

    void FreeAllBlocks() {
        while (blocks_ != nullptr) {
            Block* older = blocks_->link;
            Allocator::Free(blocks_);
            blocks_ = older;
        }
        freeList_ = nullptr;
        nodesInUse_ = 0;
    }

    // Post-order, so a node is returned only after both of its subtrees.
    void ReturnSubtree(Node* node) {
        if (node == &sentinel_) return;
        ReturnSubtree(node->left);
        ReturnSubtree(node->right);
        ReturnNode(node);
    }

    void LinkInOrder(Node* node, bool isLeftChild) {
        Node* parent = node->parent;
        if (parent == nullptr) {
            root_ = node;
            node->prev = nullptr;
            node->next = nullptr;
        } else if (isLeftChild) {
            parent->left = node;
            node->next = parent;
            node->prev = parent->prev;
        } else {
            parent->right = node;
            node->prev = parent;
            node->next = parent->next;
        }
        if (node->prev != nullptr) {
            node->prev->next = node;
        } else {
            first_ = node;
        }
        if (node->next != nullptr) {
            node->next->prev = node;
        } else {
            last_ = node;
        }
    }

    // A red node's parent is never the root, so a grandparent exists whenever
    // the loop runs; the sentinel is black and is never recoloured.
    void RestoreBalance(Node* node) {
        while (node != root_ && node->parent->colour == kRed) {
            Node* parent = node->parent;
            Node* grandparent = parent->parent;
            if (parent == grandparent->left) {
                Node* uncle = grandparent->right;
                if (uncle->colour == kRed) {
                    parent->colour = kBlack;
                    uncle->colour = kBlack;
                    grandparent->colour = kRed;
                    node = grandparent;
                    continue;
                }
                if (node == parent->right) {
                    node = parent;
                    RotateLeft(node);
                    parent = node->parent;
                }
                parent->colour = kBlack;
                grandparent->colour = kRed;
                RotateRight(grandparent);
            } else {
                Node* uncle = grandparent->left;
                if (uncle->colour == kRed) {
                    parent->colour = kBlack;
                    uncle->colour = kBlack;
                    grandparent->colour = kRed;
                    node = grandparent;
                    continue;
                }
                if (node == parent->left) {
                    node = parent;
                    RotateRight(node);
                    parent = node->parent;
                }
                parent->colour = kBlack;
                grandparent->colour = kRed;
                RotateLeft(grandparent);
            }
        }
        root_->colour = kBlack;
    }

    // The sentinel's parent link is never written, so it stays null.
    void RotateLeft(Node* node) {
        Node* pivot = node->right;
        node->right = pivot->left;
        if (pivot->left != &sentinel_) pivot->left->parent = node;
        ReplaceChild(node, pivot);
        pivot->left = node;
        node->parent = pivot;
    }

    void RotateRight(Node* node) {
        Node* pivot = node->left;
        node->left = pivot->right;
        if (pivot->right != &sentinel_) pivot->right->parent = node;
        ReplaceChild(node, pivot);
        pivot->right = node;
        node->parent = pivot;
    }

    // Puts the replacement where the node hangs from its parent (or at the root).
    void ReplaceChild(Node* node, Node* replacement) {
        Node* parent = node->parent;
        replacement->parent = parent;
        if (parent == nullptr) {
            root_ = replacement;
        } else if (node == parent->left) {
            parent->left = replacement;
        } else {
            parent->right = replacement;
        }
    }

    Block* blocks_ = nullptr;
    Node* freeList_ = nullptr;
    int32_t nodesInUse_ = 0;
    Node* root_ = &sentinel_;
    Node* first_ = nullptr;
    Node* last_ = nullptr;
    Node sentinel_{};
    int32_t count_ = 0;
};
