// Frames and the animation loop: every frame is a window-size pixmap kept on
// the X server; the hold loop cycles through them with per-frame delays.
// Frame numbers: -1 the last frame, -2 the current frame, -3 the base pixmap.
// Without an X11 display or draw window every call does nothing and
// returns 0.
#ifndef ZEM_GKS_LOOP_H
#define ZEM_GKS_LOOP_H

#include <X11/Xlib.h>

// Largest number of frames.
inline constexpr int GKS_MAX_FRAMES = 128;

void ginit_loop();
// n < 0 appends. Returns the frame number made; -1 when all 128 records are
// in use (nothing is touched then).
int gcreate_frame(int n);
int gselect_frame(int n);
int gclear_frame(int n);
int gcopy_frame(int dst, int src);
int gswitch_frame(int a, int b);
int gdisplay_frame(int n);
int gdelete_frame(int n);
int gdelete_all_frames();
int gset_looping(int on);
int gtoggle_loop(int v);
int gget_looping();
int gset_loop_delay(int n, float d);
int ginc_loop_delay(float step);
float gget_loop_delay();
float gget_frame_delay(int n);
int gset_loop_direct(int direct);
int gget_loop_direct();
int gget_num_images();
int gget_cur_frame();
Pixmap gget_frame_id(int n);
int gset_frame_id(int n, Pixmap pixmap);
int gset_loop_title(int flag);
int gprint_frame_ids();
// Caller-owned annotations of a frame: up to 50 bytes.
int gset_image_data(int n, const char* bytes, int size);
int gget_image_data(int n, char* out);
void gloop_sleep();
int ginc_frame(int step);

#endif
