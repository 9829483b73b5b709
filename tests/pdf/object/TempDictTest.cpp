#include "pdf/object/TempDict.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "pdf/object/CPDFName.h"

namespace corvina {
namespace {

// Values are ints; the release function counts the values it discards.
int gReleased = 0;

class Dict : public TempDict<CPDFName, int> {
public:
    Dict() {
        releaseFn_ = [](int*) { ++gReleased; };
    }
    using TempDict::Find;
    Node* Root() const {
        Node* n = First();
        while (n && n->parent) n = n->parent;
        return n;
    }
};

using Node = Dict::Node;

std::vector<std::string> Keys(const Dict& d) {
    std::vector<std::string> keys;
    for (Node* n = d.First(); n; n = Dict::Next(n)) keys.emplace_back(n->key.Text());
    return keys;
}

// Checks ordering, parent links, count and the cached ends.
void ExpectValid(const Dict& d) {
    Node* root = d.Root();
    int count = 0;
    std::vector<Node*> stack;
    if (root) {
        EXPECT_EQ(root->parent, nullptr);
        stack.push_back(root);
    }
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        ++count;
        if (n->left) {
            EXPECT_EQ(n->left->parent, n);
            EXPECT_LT(n->left->key.Compare(n->key), 0);
            stack.push_back(n->left);
        }
        if (n->right) {
            EXPECT_EQ(n->right->parent, n);
            EXPECT_GT(n->right->key.Compare(n->key), 0);
            stack.push_back(n->right);
        }
    }
    EXPECT_EQ(count, d.Count());
    const auto keys = Keys(d);
    EXPECT_EQ(static_cast<int>(keys.size()), d.Count());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
    EXPECT_TRUE(std::adjacent_find(keys.begin(), keys.end()) == keys.end());
    if (d.Count() == 0) {
        EXPECT_EQ(d.First(), nullptr);
        EXPECT_EQ(d.Last(), nullptr);
    } else {
        EXPECT_EQ(std::string(d.First()->key.Text()), keys.front());
        EXPECT_EQ(std::string(d.Last()->key.Text()), keys.back());
    }
}

TEST(TempDict, ThirdAscendingKeyRotatesMiddleToRoot) {
    Dict d;
    d.Insert(CPDFName("A"), 1);
    d.Insert(CPDFName("B"), 2);
    EXPECT_STREQ(d.Root()->key.Text(), "A");
    d.Insert(CPDFName("C"), 3);
    Node* root = d.Root();
    EXPECT_STREQ(root->key.Text(), "B");
    ASSERT_TRUE(root->left && root->right);
    EXPECT_STREQ(root->left->key.Text(), "A");
    EXPECT_STREQ(root->right->key.Text(), "C");
    ExpectValid(d);
}

TEST(TempDict, DescendingAndZigZagChainsRotateToo) {
    for (const char* order : {"CBA", "ACB", "CAB"}) {
        Dict d;
        for (const char* k = order; *k; ++k) d.Insert(CPDFName(std::string(1, *k).c_str()), 0);
        EXPECT_STREQ(d.Root()->key.Text(), "B") << order;
        EXPECT_STREQ(d.Root()->left->key.Text(), "A") << order;
        EXPECT_STREQ(d.Root()->right->key.Text(), "C") << order;
        ExpectValid(d);
    }
}

TEST(TempDict, RotationHooksSubtreeUnderGreatGrandparent) {
    Dict d;
    for (const char* k : {"B", "A", "C", "D", "E"}) d.Insert(CPDFName(k), 0);
    // C-D-E was a chain hanging right of B: D takes C's place.
    Node* root = d.Root();
    EXPECT_STREQ(root->key.Text(), "B");
    EXPECT_STREQ(root->right->key.Text(), "D");
    EXPECT_EQ(root->right->parent, root);
    ExpectValid(d);
}

TEST(TempDict, OrderIsByteOrderOfKeys) {
    Dict d;
    for (const char* k : {"Type", "Kids", "Count", "a", "A"}) d.Insert(CPDFName(k), 0);
    EXPECT_EQ(Keys(d), (std::vector<std::string>{"A", "Count", "Kids", "Type", "a"}));
}

TEST(TempDict, SameKeyReplacesAndReleasesOldValue) {
    Dict d;
    gReleased = 0;
    d.Insert(CPDFName("K"), 1);
    d.Insert(CPDFName("K"), 2);
    EXPECT_EQ(d.Count(), 1);
    EXPECT_EQ(gReleased, 1);
    EXPECT_EQ(d.Find("K")->value, 2);
}

TEST(TempDict, KeysGivenToKeepMoveAndOthersAreCopied) {
    Dict d;
    CPDFName kept("Resources");
    const char* text = kept.Text();
    ASSERT_TRUE(d.Insert(std::move(kept), 1));
    EXPECT_EQ(kept.Length(), 0);  // taken, buffer and all
    EXPECT_EQ(d.Find("Resources")->key.Text(), text);
    CPDFName copied("Parent");
    ASSERT_TRUE(d.Insert(copied, 2));
    EXPECT_STREQ(copied.Text(), "Parent");
    EXPECT_NE(d.Find("Parent")->key.Text(), copied.Text());
    // A key that only replaces a value is left with its owner.
    CPDFName again("Resources");
    ASSERT_TRUE(d.Insert(std::move(again), 3));
    EXPECT_STREQ(again.Text(), "Resources");
    EXPECT_EQ(d.Find("Resources")->value, 3);
    // The empty name, which has no buffer, moves too.
    ASSERT_TRUE(d.Insert(CPDFName(""), 4));
    EXPECT_EQ(d.Find("")->value, 4);
    ExpectValid(d);
}

TEST(TempDict, AscendingDescendingAndRandomInsertionStaySorted) {
    std::vector<std::string> keys;
    for (int i = 0; i < 500; ++i) keys.push_back("k" + std::to_string(1000 + i));
    auto descending = keys;
    std::reverse(descending.begin(), descending.end());
    auto shuffled = keys;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    for (const auto* order : {&keys, &descending, &shuffled}) {
        Dict d;
        for (const auto& k : *order) d.Insert(CPDFName(k.c_str()), 0);
        EXPECT_EQ(Keys(d), keys);
        ExpectValid(d);
        EXPECT_NE(d.Find("k1250"), nullptr);
        EXPECT_EQ(d.Find("k0999"), nullptr);
    }
}

TEST(TempDict, EraseEveryNodeShape) {
    // Built so that the tree holds a leaf, one-child nodes on either side and
    // two-child nodes whose predecessor is the left child or deeper.
    const std::vector<std::string> build = {"M", "F", "T", "C", "I", "Q", "W",
                                            "A", "H", "K", "J", "V", "X", "P"};
    std::vector<std::string> all = build;
    std::sort(all.begin(), all.end());
    for (const auto& victim : all) {
        Dict d;
        for (const auto& k : build) d.Insert(CPDFName(k.c_str()), 0);
        ExpectValid(d);
        gReleased = 0;
        Node* node = d.Find(victim.c_str());
        ASSERT_NE(node, nullptr);
        d.EraseNode(node);
        EXPECT_EQ(gReleased, 0) << "erase leaves the value to the caller";
        auto expected = all;
        expected.erase(std::find(expected.begin(), expected.end(), victim));
        EXPECT_EQ(Keys(d), expected) << victim;
        ExpectValid(d);
    }
}

TEST(TempDict, EraseAllInRandomOrder) {
    Dict d;
    std::vector<std::string> keys;
    for (int i = 0; i < 300; ++i) keys.push_back("n" + std::to_string(i));
    for (const auto& k : keys) d.Insert(CPDFName(k.c_str()), 0);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(11));
    for (const auto& k : keys) {
        d.EraseNode(d.Find(k.c_str()));
        ExpectValid(d);
    }
    EXPECT_EQ(d.Count(), 0);
    d.Insert(CPDFName("again"), 0);
    ExpectValid(d);
}

TEST(TempDict, SwapExchangesContents) {
    Dict a, b;
    a.Insert(CPDFName("x"), 1);
    a.Insert(CPDFName("y"), 2);
    a.Swap(b);
    EXPECT_EQ(a.Count(), 0);
    EXPECT_EQ(a.First(), nullptr);
    EXPECT_EQ(Keys(b), (std::vector<std::string>{"x", "y"}));
}

TEST(TempDict, SmallDictionariesKeepTheLocalRotationShape) {
    // Ascending keys: after the first rotation the root stays the second key
    // and the chain grows to the right; nothing else rebalances them.
    Dict d;
    char key[8];
    for (int i = 0; i < 40; ++i) {
        std::snprintf(key, sizeof key, "k%02d", i);
        d.Insert(CPDFName(key), 0);
    }
    EXPECT_STREQ(d.Root()->key.Text(), "k01");
    int depth = 0;
    for (Node* n = d.Last(); n->parent; n = n->parent) ++depth;
    EXPECT_EQ(depth, 20);
    ExpectValid(d);
}

TEST(TempDict, SortedInputStaysShallow) {
    // Sorted keys would otherwise build a chain half as long as the input and
    // make every insertion walk it.
    Dict d;
    char key[16];
    for (int i = 0; i < 100000; ++i) {
        std::snprintf(key, sizeof key, "k%06d", i);
        d.Insert(CPDFName(key), 0);
    }
    for (int i = 0; i < 20000; ++i) {
        std::snprintf(key, sizeof key, "j%06d", 20000 - i);
        d.Insert(CPDFName(key), 0);
    }
    ASSERT_EQ(d.Count(), 120000);
    int maxDepth = 0;
    for (Node* n = d.First(); n; n = Dict::Next(n)) {
        int depth = 0;
        for (Node* a = n; a->parent; a = a->parent) ++depth;
        maxDepth = std::max(maxDepth, depth);
    }
    EXPECT_LE(maxDepth, 2 * 17 + 33);
    ExpectValid(d);
    std::vector<std::string> keys = Keys(d);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(5));
    keys.resize(60000);
    for (const auto& k : keys) d.EraseNode(d.Find(k.c_str()));
    ExpectValid(d);
}

void* DestroyDict(void* arg) {
    delete static_cast<Dict*>(arg);
    return nullptr;
}

TEST(TempDict, LargeDictionaryIsDestroyedOnASmallStack) {
    auto* d = new Dict;
    char key[16];
    for (int i = 0; i < 100000; ++i) {
        std::snprintf(key, sizeof key, "a%06d", i);
        d->Insert(CPDFName(key), 0);
    }
    ASSERT_EQ(d->Count(), 100000);
    gReleased = 0;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 128 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, DestroyDict, d), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(gReleased, 100000);
}

}  // namespace
}  // namespace corvina
