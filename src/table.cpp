// Keyed hash table of the station table. Only the key hash exists so far.
#include "table.h"

#include "mess.h"

namespace {
constexpr long kHashPrime = 35177;
}

int TAB_hash(const char* key, int buckets) {
    if (key == nullptr || buckets <= 0) return 0;
    long h = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(key); *p; ++p)
        h = (h * 257 + *p) % kHashPrime;
    return static_cast<int>(h % buckets);
}

TAB_table* TAB_create(int, int, int) {
    MESS_print(M_warn, "TAB_create: station table not built yet\n");
    return nullptr;
}

int TAB_free(TAB_table* table) { return table == nullptr ? 0 : -1; }
