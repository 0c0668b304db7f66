// GIF images: reading the first picture of any GIF87a/89a file into an
// IMG_report, writing a record (or a picture already held as palette
// indices) as a GIF89a file, animated files of several pictures, and
// dumping the window frame.
#ifndef ZEM_GIF_H
#define ZEM_GIF_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "sat_read.h"

// Reads the first picture of a GIF file into `image` as 8-bit palette
// indices with the colour table that picture is shown with (its own local
// table, else the global one); the transparent index, when the picture has
// one, goes to trans_color. Type 1 reads the header only. 1 on success, 0
// on failure with a warning (buffers already attached are left for the
// caller to release with IMG_free).
int GIF_read(const char* filename, IMG_report* image, int type);
// Writes `image` (1 to 32 bits per pixel, indexed or true colour) as a
// GIF89a file with the smallest power-of-two colour table that holds its
// first 256 distinct pixel values (later new values take index 0),
// interlaced and with the background colour transparent when the switches
// below say so. The image is not modified. 1 on success, 0 on failure.
int GIF_write(const char* filename, IMG_report* image);
// Writes the current window frame as a GIF file. 1 on success, 0 on failure.
int GIF_dump(const char* filename);

// Writer switches set from the plot parameters ("gif_inter", "gif_norm",
// "gif_trans"). Return 0.
int GIF_interlace(int flag);
int GIF_transparent(int flag);

// A picture held as palette indices: width*height bytes, rows from the top.
struct GIF_picture {
    int width = 0;
    int height = 0;
    const std::uint8_t* index = nullptr;
    const std::uint8_t* rgb = nullptr;  // num_colors red, green, blue triples
    int num_colors = 0;                 // 1 to 256
    int transparent = -1;               // palette index shown transparent, -1 none
    int delay = -1;                     // hundredths of a second shown, -1 none
};

// Encodes one picture as a complete GIF89a file image into `out`. False
// (with a warning) for sizes outside 1..65535 or a palette outside 1..256.
bool GIF_encode(const GIF_picture& pic, bool interlace, std::vector<std::uint8_t>* out);

// LZW compression of palette indices as a GIF image data stream: the code
// size byte, the data sub-blocks and the zero-length terminator. Indices
// must be below 2^code_size; code_size is 2 to 8.
void GIF_lzw_encode(const std::uint8_t* index, std::size_t count, int code_size, std::vector<std::uint8_t>* out);

// An animated GIF written picture by picture: the first picture's colours
// become the global table (so that readers of the first picture only see
// it right), later pictures carry a local table when theirs differ; every
// picture is full-size with its own delay, and the animation repeats for
// ever. Each call returns false (with a warning) on failure; the file is
// complete only after a successful finish().
class GIF_animation {
public:
    GIF_animation() = default;
    ~GIF_animation();
    GIF_animation(const GIF_animation&) = delete;
    GIF_animation& operator=(const GIF_animation&) = delete;

    bool open(const char* filename, int width, int height);
    bool add(const GIF_picture& pic);
    bool finish();
    int frames() const { return frames_; }

private:
    struct Closer {
        void operator()(std::FILE* f) const;
    };
    std::unique_ptr<std::FILE, Closer> file_;
    int width_ = 0;
    int height_ = 0;
    int frames_ = 0;
    std::vector<std::uint8_t> global_;  // the global colour table as written
};

// Writes pictures 0..n-1 of the window's animation (each read back from its
// frame, with its loop delay) as one animated GIF. 1 on success, 0 on
// failure or when there are no frames.
int GIF_dump_loop(const char* filename);

#endif
