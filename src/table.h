// Keyed hash table of the station table: fixed-size entries, each findable
// by up to four text keys (identifier, WMO number, map position, ...), with
// one bucket array per key.
#ifndef ZEM_TABLE_H
#define ZEM_TABLE_H

struct TAB_table;

// Hash of a key text: h = (h*257 + c) mod 35177 over its characters, then
// modulo the bucket count.
int TAB_hash(const char* key, int buckets);
// A new empty table of `buckets` buckets per key for entries of `data_size`
// bytes and `nkeys` keys (1 to 4); null for bad sizes. Free with TAB_free.
TAB_table* TAB_create(int buckets, int data_size, int nkeys);
// Releases the table (and every entry). Returns 0, -1 for an unknown table.
int TAB_free(TAB_table* table);
// Adds a copy of `data` (data_size bytes) under keys[0 .. nkeys-1]; a null
// key leaves the entry out of that key's buckets. Returns the entry's
// number (0, 1, ... in the order added) or -1.
int TAB_add(TAB_table* table, const void* data, const char* const* keys);
// The entry first added under `key` for key number `k`; null when none. The
// pointer stays valid until the table changes.
void* TAB_find(TAB_table* table, int k, const char* key);
// Entry number `n`, null outside 0 .. TAB_count - 1.
void* TAB_get(TAB_table* table, int n);
int TAB_count(const TAB_table* table);
// Removes every entry. Returns 0.
int TAB_clear(TAB_table* table);

#endif
