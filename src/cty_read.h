// Place database file layer: the place record and the reading of place files
// ("sao.cty" by default), one place per line.
#ifndef ZEM_CTY_READ_H
#define ZEM_CTY_READ_H

// One place of the database.
struct CTY_data {
    char name[21];   // place name, one word
    char state[3];   // state or province code
    char region[3];  // country code
    char id[10];     // identifier
    int prior;       // label priority, a digit
    char mos;        // '*' when the place has statistical guidance, else ' '
    char ua;         // '*' for an upper-air station, else ' '
    float lat;       // degrees
    float lon;       // degrees, east-positive
    float el;        // elevation; values above 9000 are stored as -9999
    int wmo;         // WMO station number, -9999 when none
    int num;         // count field of the file, 0 when absent
};

// Empty strings, blank marks, wmo/lat/lon/el -9999, prior and num 0.
int CTY_data_init(CTY_data* data);

// Open the place file: resource "city_file" when set ("none": no database),
// else `file`, else "sao.cty", through "file_path". Returns a handle (0) and
// the estimated place count in `count` (may be null), or -1.
int CTY_open_file(const char* file, int* count);
// Open a place file by its name as given (mode 0 read; writing is not
// supported). Returns a handle or -1. One place file is open at a time.
int CTY_open(const char* file, int mode, int type);
// Read the next place: the number of items read, or -1 at the end.
int CTY_read(int handle, CTY_data* data);
int CTY_rewind(int handle);
int CTY_close(int handle);
// The open file's name and estimated place count; -1 when none is open.
int CTY_getinfo(int handle, const char** name, int* count);

#endif
