// The frame store: for each frame of the loaded data set its image, its probe
// position and its timestamp. Images and positions are shared with readers by
// counted references, so that nobody copies pixels to keep a frame alive.
//
// Everything here runs on the GUI thread; counts are plain integers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class frame_image_ref;
struct frame_image_t;

// Brings a record's display pixels up to date from 16-bit raw values (see
// dicom_utility::window_frame); installed by the volume readers' library.
using frame_windowing_fn = void (*)(const uint16_t* raw, frame_image_t& record, int32_t& size,
                                    int32_t& stamp);
void set_frame_windowing(frame_windowing_fn fn);
frame_windowing_fn frame_windowing();

// A large block of memory that the frames of one load are carved from, asked
// of the system in one piece with transparent huge pages, so that loading
// runs at the speed of filling one fresh buffer rather than of touching many
// small ones. It is given back when the last frame carved from it goes.
class frame_slab {
 public:
  // A slab for `frames` frames of `frame_bytes` bytes, or null when the
  // system has no such block. A slab of a huge page or more starts on a
  // huge-page boundary and ends on one.
  static frame_slab* create(size_t frames, size_t frame_bytes);
  // The next frame's buffer, or null when the slab is used up.
  uint8_t* carve();
  // Up to `wanted` frames that follow one another, the first one's buffer
  // returned and their number in `got`; null (and got 0) when used up. Each
  // frame is released on its own.
  uint8_t* carve(size_t wanted, size_t& got);
  // The carved frame at p is no longer used: its whole pages go back to the
  // system at once, and the last frame frees the slab once it is used up or
  // sealed.
  void release(uint8_t* p);
  // No more frames will be carved (a load ended early): frees the slab when
  // no frame is in use.
  void seal();
  size_t frames() const { return frames_; }
  size_t frames_left() const { return frames_ - carved_; }

 private:
  frame_slab(uint8_t* base, size_t bytes, size_t frames, size_t frame_bytes);
  ~frame_slab();
  uint8_t* base_;
  size_t bytes_, frames_, frame_bytes_;
  size_t carved_ = 0;
  size_t live_ = 0;
};

// Carves the frames of one load, `frames` of `frame_bytes` each, from as few
// slabs as the system can give: one while it has a block that large (at most
// 1 GiB a slab), smaller ones otherwise. Destroying the carver seals the slab
// in use, so that frames not carved are never waited for.
class frame_carver {
 public:
  frame_carver(size_t frames, size_t frame_bytes) : left_(frames), frame_bytes_(frame_bytes) {}
  ~frame_carver() { finish(); }
  frame_carver(const frame_carver&) = delete;
  frame_carver& operator=(const frame_carver&) = delete;

  // Up to `wanted` frames that follow one another in one slab: the first
  // one's buffer, their number in `got` and the slab; null when no memory
  // could be had or all announced frames were carved.
  uint8_t* carve(size_t wanted, size_t& got, frame_slab*& slab);
  // One frame's buffer and its slab.
  uint8_t* carve(frame_slab*& slab) {
    size_t got;
    return carve(1, got, slab);
  }
  // Seals the slab in use; carving afterwards starts a new one.
  void finish();

 private:
  frame_slab* slab_ = nullptr;
  size_t left_;  // frames still to be carved
  size_t frame_bytes_;
};

// The buffers of the frames of one load from medical image files: display
// bytes and 16-bit values carved from slabs of their own. For 8-bit data the
// values are only needed while a frame is read, and are read into one
// scratch buffer instead.
class frame_pair_carver {
 public:
  frame_pair_carver(size_t frames, size_t pixels)
      : displays_(frames, pixels), raws_(frames, pixels * 2), pixels_(pixels) {}
  ~frame_pair_carver() { drop(); }
  frame_pair_carver(const frame_pair_carver&) = delete;
  frame_pair_carver& operator=(const frame_pair_carver&) = delete;

  // Buffers for the next frame, its values in scratch when eight_bit; false
  // when the memory ran out.
  bool next(bool eight_bit);
  uint8_t* display() const { return display_; }
  uint16_t* raw() const { return raw_; }
  // The frame read into the buffers as a record, with its values unless
  // eight_bit; an empty reference when the memory ran out.
  frame_image_ref keep(bool eight_bit, int32_t size);
  // The frame could not be read: its buffers go back.
  void drop();

 private:
  frame_carver displays_, raws_;
  size_t pixels_;
  std::unique_ptr<uint16_t[]> scratch_;
  uint8_t* display_ = nullptr;
  uint16_t* raw_ = nullptr;
  frame_slab *display_slab_ = nullptr, *raw_slab_ = nullptr;
};

// One frame image. Both pixel buffers belong to the record from the moment
// it is created: allocated with new[], or carved from a slab, which then takes
// them back.
struct frame_image_t {
  uint8_t* display = nullptr;  // RES_BUF_WIDTH x RES_BUF_HEIGHT display bytes, row after row
  uint16_t* raw = nullptr;     // the same layout of 16-bit values, or null for 8-bit data
  int32_t count = 0;           // counted references to this record
  int32_t stamp = -1;          // RES_DICOM_REDRAW raise count at the last windowing; -1 never
  int32_t size = 0;            // bytes in the display buffer
  frame_slab* slab = nullptr;      // where display was carved from, or null
  frame_slab* raw_slab = nullptr;  // where raw was carved from, or null

  // Gives the display buffer back to where it came from and takes
  // `display`, allocated with new[], in its place.
  void replace_display(uint8_t* display);

  // A record of 8-bit display pixels carved from slab.
  static frame_image_ref create_in_slab(uint8_t* display, frame_slab* slab, int32_t size);
  // The same with 16-bit values carved from raw_slab (raw and raw_slab may
  // be null for 8-bit data).
  static frame_image_ref create_in_slab(uint8_t* display, frame_slab* slab, uint16_t* raw,
                                        frame_slab* raw_slab, int32_t size);

  // A record of count 1, stamp -1, owning the buffer; a null buffer creates
  // nothing and gives an empty reference.
  static frame_image_ref create(uint8_t* display, int32_t size);
  // The same for 16-bit data. The display buffer may be null: the first
  // windowing allocates it. Both null give an empty reference.
  static frame_image_ref create(uint8_t* display, uint16_t* raw, int32_t size);

  // The display pixels, windowed again first when the record has raw values
  // and the display windowing changed since; null for an empty reference.
  static uint8_t* display_data(const frame_image_ref& ref);
};

// Counted reference to a frame_image_t: empty or pointing at the record.
class frame_image_ref {
 public:
  frame_image_ref() = default;
  frame_image_ref(const frame_image_ref& other) : rec_(other.rec_) {
    if (rec_) ++rec_->count;
  }
  frame_image_ref(frame_image_ref&& other) noexcept : rec_(other.rec_) { other.rec_ = nullptr; }
  frame_image_ref& operator=(frame_image_ref other) noexcept {
    std::swap(rec_, other.rec_);
    return *this;
  }
  ~frame_image_ref() { reset(); }

  // Drops this reference; the last one frees both buffers and the record.
  void reset();

  frame_image_t* get() const { return rec_; }
  frame_image_t* operator->() const { return rec_; }
  frame_image_t& operator*() const { return *rec_; }
  explicit operator bool() const { return rec_ != nullptr; }

 private:
  friend struct frame_image_t;
  explicit frame_image_ref(frame_image_t* adopted) : rec_(adopted) {}
  frame_image_t* rec_ = nullptr;
};

// Releases the reference and leaves the handle empty; an empty handle is left alone.
void release_frame_image(frame_image_ref& ref);

// Probe position of one frame: centimetres and degrees.
struct position_t {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float azimuth = 0.0f;
  float elevation = 0.0f;
  float roll = 0.0f;
};

class position_ref;

// Shares one position_t; the count lives here, not in the position.
struct position_holder_t {
  position_t* pos = nullptr;
  int32_t count = 0;

  // A holder of count 1 with a copy of p.
  static position_ref create(const position_t& p);
};

// Counted reference to a position_holder_t.
class position_ref {
 public:
  position_ref() = default;
  position_ref(const position_ref& other) : holder_(other.holder_) {
    if (holder_) ++holder_->count;
  }
  position_ref(position_ref&& other) noexcept : holder_(other.holder_) { other.holder_ = nullptr; }
  position_ref& operator=(position_ref other) noexcept {
    std::swap(holder_, other.holder_);
    return *this;
  }
  ~position_ref() { reset(); }

  // Drops this reference; the last one frees the position and the holder.
  void reset();

  position_holder_t* holder() const { return holder_; }
  position_t* get() const { return holder_ ? holder_->pos : nullptr; }
  position_t* operator->() const { return get(); }
  position_t& operator*() const { return *get(); }
  explicit operator bool() const { return holder_ != nullptr; }

 private:
  friend struct position_holder_t;
  explicit position_ref(position_holder_t* adopted) : holder_(adopted) {}
  position_holder_t* holder_ = nullptr;
};

// The frame store. The three vectors are filled by different producers (the
// IM lines fill positions and timestamps, the frame file the images) and may
// differ in length while a file is read, so every operation works on each
// vector within its own length.
class dynabuf {
 public:
  std::vector<frame_image_ref> images;
  std::vector<position_ref> positions;
  std::vector<uint64_t> timestamps;  // units of 100 ns

  // Room for n entries in each vector, so that ordinary recordings load
  // without the vectors growing.
  void reserve(size_t n);

  // Indexed accessors: an index out of range is logged (debug level) and gives
  // an empty reference or timestamp 0.
  frame_image_ref imagecp(int32_t index) const;
  position_ref positioncp(int32_t index) const;
  uint64_t timestamp(int32_t index) const;

  // Appends a copy; the argument dies with the call, so the store is left
  // holding exactly one reference of its own.
  void add_image(frame_image_ref image);

  // (0, 0) empties everything; (first, 0) cuts each vector back to first
  // entries; first < last removes first..last-1 of each vector that has them.
  // A negative first changes nothing.
  void erase_frames(int32_t first, int32_t last);

  // Removes every frame whose selection byte is 0, keeping the order of the
  // rest. The selection must cover the longest vector; a shorter one is
  // refused with an error and nothing is removed.
  bool erase_unselected(const std::vector<uint8_t>& selection);

  // Releases every reference and empties the three vectors.
  void clear();
};

// The one frame store of the program, created at start-up.
extern dynabuf* frame_store;
