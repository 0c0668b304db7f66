// Keyed hash table of the data overlays' station table (up to four keys per
// entry). Not built yet.
#ifndef ZEM_TABLE_H
#define ZEM_TABLE_H

struct TAB_table;

// Hash of a key text: h = (h*257 + c) mod 35177 over its characters, then
// modulo the bucket count.
int TAB_hash(const char* key, int buckets);
// Create a table; null while the table is not built.
TAB_table* TAB_create(int buckets, int data_size, int nkeys);
int TAB_free(TAB_table* table);

#endif
