// Map domains: the Domain record, projection codes and names, domain
// strings, the region file and the built-in regions.
#ifndef ZEM_REGION_H
#define ZEM_REGION_H

// Which part of the earth (or of a diagram) a plot covers and how it is
// projected. -9999 means unset in every field but `ellipse`.
struct Domain {
    int proj;        // projection code, -9999 = unset
    float plat;      // projection latitude (degrees), -9999 = use clat
    float plon;      // projection longitude (degrees), -9999 = use clon
    float param[5];  // projection parameters, -9999 when unset
    float clat;      // centre latitude
    float clon;      // centre longitude
    float dx;        // grid spacing, projection units
    float dy;
    int nx;          // grid points in x
    int ny;          // grid points in y
    int ellipse;     // 0 = spherical earth, 1 = ellipsoidal
};

#endif
