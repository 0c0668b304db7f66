// Graphics kernel shared types, normalisation transforms with clipping, and
// the graph-setup layer (GPH_) used to open and lay out a plot.
#ifndef ZEM_GKS_TRAN_H
#define ZEM_GKS_TRAN_H

#include <cstdint>

typedef std::int32_t Gint;
typedef float Gfloat;
typedef char Gchar;

struct Gpt {
    Gfloat x;
    Gfloat y;
};

// A rectangle; both x limits come first.
struct Glim {
    Gfloat x_min;
    Gfloat x_max;
    Gfloat y_min;
    Gfloat y_max;
};

struct Gtran {
    Glim win;
    Glim vp;
};

struct Grectangle {
    Gint x;
    Gint y;
    Gint width;
    Gint height;
};

struct Gint_pt {
    Gint x_coord;
    Gint y_coord;
};

struct Gaspect {
    Gfloat x;
    Gfloat y;
};

struct Gcenter {
    Gint x;
    Gint y;
};

enum Gcoord_unit { GMETER_UNIT = 0, GOTHER_UNIT = 1 };

struct Gdsp_size {
    Gcoord_unit coord_units;
    Gpt coord_size;
    Gint_pt ras_size;
};

typedef Gint Gws_type;
typedef Gchar* Gconn_id;

enum Gclear_flag { GCOND = 0, GALWAYS = 1 };

#endif
