// Keyed hash table: entries stored one after another in one buffer, and for
// each key a bucket array of (key text, entry number) chains.
#include "table.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "mess.h"

namespace {
constexpr long kHashPrime = 35177;
constexpr int kMaxKeys = 4;
}  // namespace

struct TAB_table {
    int buckets = 0;
    std::size_t data_size = 0;
    int nkeys = 0;
    std::vector<unsigned char> data;  // entry n at n * data_size
    // Per key, per bucket: the keys and entry numbers in the order added.
    std::vector<std::vector<std::vector<std::pair<std::string, int>>>> index;
};

namespace {
// Every live table; TAB_free releases it here.
std::vector<std::unique_ptr<TAB_table>> g_tables;
}  // namespace

int TAB_hash(const char* key, int buckets) {
    if (key == nullptr || buckets <= 0) return 0;
    long h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p; ++p)
        h = (h * 257 + *p) % kHashPrime;
    return static_cast<int>(h % buckets);
}

TAB_table* TAB_create(int buckets, int data_size, int nkeys) {
    if (buckets <= 0 || data_size <= 0 || nkeys < 1 || nkeys > kMaxKeys) return nullptr;
    try {
        auto t = std::make_unique<TAB_table>();
        t->buckets = buckets;
        t->data_size = static_cast<std::size_t>(data_size);
        t->nkeys = nkeys;
        t->index.assign(static_cast<std::size_t>(nkeys), std::vector<std::vector<std::pair<std::string, int>>>(
                                                            static_cast<std::size_t>(buckets)));
        g_tables.push_back(std::move(t));
        return g_tables.back().get();
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "TAB_create: out of memory for %d buckets\n", buckets);
        return nullptr;
    }
}

int TAB_free(TAB_table* table) {
    const auto it = std::find_if(g_tables.begin(), g_tables.end(), [table](const auto& t) { return t.get() == table; });
    if (it == g_tables.end()) return -1;
    g_tables.erase(it);
    return 0;
}

int TAB_add(TAB_table* t, const void* data, const char* const* keys) {
    if (t == nullptr || data == nullptr) return -1;
    try {
        const int n = TAB_count(t);
        const auto* bytes = static_cast<const unsigned char*>(data);
        t->data.insert(t->data.end(), bytes, bytes + t->data_size);
        for (int k = 0; keys != nullptr && k < t->nkeys; ++k)
            if (keys[k] != nullptr)
                t->index[static_cast<std::size_t>(k)][static_cast<std::size_t>(TAB_hash(keys[k], t->buckets))]
                    .emplace_back(keys[k], n);
        return n;
    } catch (const std::bad_alloc&) {
        MESS_print(M_error, "TAB_add: out of memory\n");
        return -1;
    }
}

void* TAB_find(TAB_table* t, int k, const char* key) {
    if (t == nullptr || key == nullptr || k < 0 || k >= t->nkeys) return nullptr;
    for (const auto& [text, n] : t->index[static_cast<std::size_t>(k)][static_cast<std::size_t>(TAB_hash(key, t->buckets))])
        if (text == key) return TAB_get(t, n);
    return nullptr;
}

void* TAB_get(TAB_table* t, int n) {
    if (t == nullptr || n < 0 || n >= TAB_count(t)) return nullptr;
    return t->data.data() + static_cast<std::size_t>(n) * t->data_size;
}

int TAB_count(const TAB_table* t) { return t == nullptr ? 0 : static_cast<int>(t->data.size() / t->data_size); }

int TAB_clear(TAB_table* t) {
    if (t == nullptr) return 0;
    t->data.clear();
    for (auto& key : t->index)
        for (auto& bucket : key) bucket.clear();
    return 0;
}
