// Magnifier of the X11 window: pixel replication of a region of the picture.
#ifndef ZEM_GKS_ZOOM_H
#define ZEM_GKS_ZOOM_H

// Magnify around pixel (x, y) (x = -1 keeps the centre). factor: -1 keeps
// the magnification, >= 0 sets it, < -1 multiplies it by -factor. flag set:
// only re-apply an existing magnification (frame ind while looping).
// Returns 1 when the window was redrawn, 0 otherwise.
int gzoom(int ind, int x, int y, int factor, int flag);
int gunzoom();
int greset_zoom();
int gget_zoom();
// Pixel of the magnified window -> pixel of the unmagnified picture.
float xZ_p(float p);
float yZ_p(float p);

#endif
