#include "data/dynabuf.h"

#include <algorithm>

#include <sys/mman.h>
#include <unistd.h>
#include <wx/log.h>

#include <cstdint>
#include <cstring>
#include <new>

dynabuf* frame_store = nullptr;

namespace {
frame_windowing_fn windowing_fn = nullptr;

// Removes entries first..last-1 of v (clipped to its length), releasing them.
template <class T>
void erase_range(std::vector<T>& v, size_t first, size_t last) {
  last = std::min(last, v.size());
  if (first >= last) return;
  v.erase(v.begin() + static_cast<std::ptrdiff_t>(first),
          v.begin() + static_cast<std::ptrdiff_t>(last));
}

// Walks downwards so that the indices still to be visited stay valid.
template <class T>
void erase_unselected_entries(std::vector<T>& v, const std::vector<uint8_t>& selection) {
  // One pass that moves the kept entries forward: erasing one by one would
  // move the tail once per dropped frame.
  size_t kept = 0;
  for (size_t i = 0; i < v.size(); ++i)
    if (selection[i] != 0) {
      if (kept != i) v[kept] = std::move(v[i]);
      ++kept;
    }
  v.resize(kept);
}
}  // namespace

void set_frame_windowing(frame_windowing_fn fn) { windowing_fn = fn; }
frame_windowing_fn frame_windowing() { return windowing_fn; }

// ---- frame_image_t ----------------------------------------------------------

frame_image_ref frame_image_t::create(uint8_t* display, int32_t size) {
  if (!display) return frame_image_ref();
  return create(display, nullptr, size);
}

frame_image_ref frame_image_t::create(uint8_t* display, uint16_t* raw, int32_t size) {
  if (!display && !raw) return frame_image_ref();
  auto* rec = new frame_image_t;
  rec->display = display;
  rec->raw = raw;
  rec->count = 1;
  rec->stamp = -1;
  rec->size = size;
  return frame_image_ref(rec);
}

frame_image_ref frame_image_t::create_in_slab(uint8_t* display, frame_slab* slab, int32_t size) {
  return create_in_slab(display, slab, nullptr, nullptr, size);
}

frame_image_ref frame_image_t::create_in_slab(uint8_t* display, frame_slab* slab, uint16_t* raw,
                                              frame_slab* raw_slab, int32_t size) {
  if (!display || !slab || (raw && !raw_slab)) return frame_image_ref();
  auto* rec = new frame_image_t;
  rec->display = display;
  rec->slab = slab;
  rec->raw = raw;
  rec->raw_slab = raw ? raw_slab : nullptr;
  rec->count = 1;
  rec->size = size;
  return frame_image_ref(rec);
}

void frame_image_t::replace_display(uint8_t* fresh) {
  if (slab)
    slab->release(display);
  else
    delete[] display;
  slab = nullptr;
  display = fresh;
}

// ---- frame_slab ---------------------------------------------------------------

namespace {
constexpr size_t kHugePage = size_t(1) << 21;
}

frame_slab* frame_slab::create(size_t frames, size_t frame_bytes) {
  if (frames == 0 || frame_bytes == 0 || frames > SIZE_MAX / frame_bytes) return nullptr;
  const size_t bytes = frames * frame_bytes;
  if (bytes > SIZE_MAX - 2 * kHugePage) return nullptr;
  // Whole huge pages from a huge-page boundary: an unaligned slab would
  // fill its first and last huge page with small pages.
  const bool huge = bytes >= kHugePage;
  const size_t length = huge ? (bytes + kHugePage - 1) & ~(kHugePage - 1) : bytes;
  const size_t asked = huge ? length + kHugePage : length;
  void* p = ::mmap(nullptr, asked, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  auto* base = static_cast<uint8_t*>(p);
  if (huge) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(base);
    auto* aligned = reinterpret_cast<uint8_t*>((at + kHugePage - 1) & ~(kHugePage - 1));
    if (aligned > base) ::munmap(base, static_cast<size_t>(aligned - base));
    uint8_t* end = aligned + length;
    if (base + asked > end) ::munmap(end, static_cast<size_t>(base + asked - end));
    base = aligned;
#ifdef MADV_HUGEPAGE
    ::madvise(base, length, MADV_HUGEPAGE);  // a hint: without huge pages it still works
#endif
  }
  auto* slab = new (std::nothrow) frame_slab(base, length, frames, frame_bytes);
  if (!slab) ::munmap(base, length);
  return slab;
}

frame_slab::frame_slab(uint8_t* base, size_t bytes, size_t frames, size_t frame_bytes)
    : base_(base), bytes_(bytes), frames_(frames), frame_bytes_(frame_bytes) {}

frame_slab::~frame_slab() { ::munmap(base_, bytes_); }

uint8_t* frame_slab::carve() {
  size_t got;
  return carve(1, got);
}

uint8_t* frame_slab::carve(size_t wanted, size_t& got) {
  got = std::min(wanted, frames_ - carved_);
  if (got == 0) return nullptr;
  uint8_t* p = base_ + frame_bytes_ * carved_;
  carved_ += got;
  live_ += got;
  return p;
}

void frame_slab::release(uint8_t* p) {
  if (--live_ == 0 && carved_ == frames_) {
    delete this;
    return;
  }
  // A frame deleted alone gives back the pages that lie wholly inside it.
  const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t from = (reinterpret_cast<uintptr_t>(p) + page - 1) / page * page;
  const uintptr_t to = (reinterpret_cast<uintptr_t>(p) + frame_bytes_) / page * page;
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

void frame_slab::seal() {
  frames_ = carved_;
  if (live_ == 0) delete this;
}

// ---- frame_carver -------------------------------------------------------------

uint8_t* frame_carver::carve(size_t wanted, size_t& got, frame_slab*& slab) {
  got = 0;
  slab = nullptr;
  if (wanted == 0 || left_ == 0) return nullptr;
  uint8_t* p = slab_ ? slab_->carve(std::min(wanted, left_), got) : nullptr;
  if (!p) {
    finish();
    constexpr size_t kLargest = size_t(1) << 30;
    size_t n = std::max<size_t>(1, std::min(left_, kLargest / frame_bytes_));
    for (;;) {
      slab_ = frame_slab::create(n, frame_bytes_);
      if (slab_ || n == 1) break;
      n /= 2;
    }
    if (!slab_) return nullptr;
    p = slab_->carve(std::min(wanted, left_), got);
  }
  left_ -= got;
  slab = slab_;
  // A slab used up frees itself with its last frame, which may go before
  // this carver does: it is not touched again.
  if (slab_->frames_left() == 0) slab_ = nullptr;
  return p;
}

void frame_carver::finish() {
  if (slab_) slab_->seal();
  slab_ = nullptr;
}

// ---- frame_pair_carver ----------------------------------------------------------

bool frame_pair_carver::next(bool eight_bit) {
  drop();
  display_ = displays_.carve(display_slab_);
  if (!display_) return false;
  if (eight_bit) {
    if (!scratch_) scratch_.reset(new (std::nothrow) uint16_t[pixels_]);
    raw_ = scratch_.get();
  } else {
    raw_ = reinterpret_cast<uint16_t*>(raws_.carve(raw_slab_));
  }
  if (!raw_) drop();
  return raw_ != nullptr;
}

frame_image_ref frame_pair_carver::keep(bool eight_bit, int32_t size) {
  if (!display_) return frame_image_ref();
  if (eight_bit && raw_slab_) {
    raw_slab_->release(reinterpret_cast<uint8_t*>(raw_));
    raw_slab_ = nullptr;
    raw_ = nullptr;
  } else if (!eight_bit && !raw_slab_) {
    // Values read into scratch that turn out to be 16-bit get a place of their own.
    auto* own = reinterpret_cast<uint16_t*>(raws_.carve(raw_slab_));
    if (!own) {
      drop();
      return frame_image_ref();
    }
    std::memcpy(own, raw_, pixels_ * sizeof(uint16_t));
    raw_ = own;
  }
  frame_image_ref image;
  try {
    image = frame_image_t::create_in_slab(display_, display_slab_, eight_bit ? nullptr : raw_,
                                          eight_bit ? nullptr : raw_slab_, size);
  } catch (const std::bad_alloc&) {
    drop();
    throw;
  }
  display_ = nullptr;
  raw_ = nullptr;
  display_slab_ = raw_slab_ = nullptr;
  return image;
}

void frame_pair_carver::drop() {
  if (display_ && display_slab_) display_slab_->release(display_);
  if (raw_ && raw_slab_) raw_slab_->release(reinterpret_cast<uint8_t*>(raw_));
  display_ = nullptr;
  raw_ = nullptr;
  display_slab_ = raw_slab_ = nullptr;
}

uint8_t* frame_image_t::display_data(const frame_image_ref& ref) {
  frame_image_t* rec = ref.get();
  if (!rec) return nullptr;
  if (rec->raw && windowing_fn) windowing_fn(rec->raw, *rec, rec->size, rec->stamp);
  return rec->display;
}

void frame_image_ref::reset() {
  if (!rec_) return;
  if (--rec_->count == 0) {
    if (rec_->slab)
      rec_->slab->release(rec_->display);
    else
      delete[] rec_->display;
    if (rec_->raw_slab)
      rec_->raw_slab->release(reinterpret_cast<uint8_t*>(rec_->raw));
    else
      delete[] rec_->raw;
    delete rec_;
  }
  rec_ = nullptr;
}

void release_frame_image(frame_image_ref& ref) { ref.reset(); }

// ---- positions --------------------------------------------------------------

position_ref position_holder_t::create(const position_t& p) {
  auto* holder = new position_holder_t;
  holder->pos = new position_t(p);
  holder->count = 1;
  return position_ref(holder);
}

void position_ref::reset() {
  if (!holder_) return;
  if (--holder_->count == 0) {
    delete holder_->pos;
    delete holder_;
  }
  holder_ = nullptr;
}

// ---- dynabuf ----------------------------------------------------------------

void dynabuf::reserve(size_t n) {
  images.reserve(n);
  positions.reserve(n);
  timestamps.reserve(n);
}

frame_image_ref dynabuf::imagecp(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= images.size()) {
    wxLogDebug("dynabuf::imagecp(long index), index %d out of range.", index);
    return frame_image_ref();
  }
  return images[static_cast<size_t>(index)];
}

position_ref dynabuf::positioncp(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= positions.size()) {
    wxLogDebug("dynabuf::positioncp(long index), index %d out of range.", index);
    return position_ref();
  }
  return positions[static_cast<size_t>(index)];
}

uint64_t dynabuf::timestamp(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= timestamps.size()) {
    wxLogDebug("dynabuf::timestamp(long index), index %d out of range.", index);
    return 0;
  }
  return timestamps[static_cast<size_t>(index)];
}

void dynabuf::add_image(frame_image_ref image) { images.push_back(std::move(image)); }

void dynabuf::erase_frames(int32_t first, int32_t last) {
  if (first < 0) return;
  if (first == 0 && last == 0) {
    clear();
    return;
  }
  const size_t from = static_cast<size_t>(first);
  const size_t to = last == 0 ? SIZE_MAX : static_cast<size_t>(std::max(last, 0));
  erase_range(images, from, to);
  erase_range(positions, from, to);
  erase_range(timestamps, from, to);
}

bool dynabuf::erase_unselected(const std::vector<uint8_t>& selection) {
  const size_t longest = std::max({images.size(), positions.size(), timestamps.size()});
  if (selection.size() < longest) {
    wxLogError("The frame selection covers %zu frames but %zu are loaded; no frames were removed.",
               selection.size(), longest);
    return false;
  }
  erase_unselected_entries(images, selection);
  erase_unselected_entries(positions, selection);
  erase_unselected_entries(timestamps, selection);
  return true;
}

void dynabuf::clear() {
  images.clear();
  positions.clear();
  timestamps.clear();
}
