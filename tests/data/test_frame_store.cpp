// The frame store: counted references to images and positions stay balanced
// through sharing, trimming and clearing; indexed access is checked.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/log_capture.h"
#include "data/dynabuf.h"

namespace {

frame_image_ref make_image(uint8_t fill, int32_t size = 6) {
  auto* px = new uint8_t[size_t(size)];
  for (int32_t i = 0; i < size; ++i) px[i] = fill;
  return frame_image_t::create(px, size);
}

position_ref make_position(float x) {
  position_t p;
  p.x = x;
  return position_holder_t::create(p);
}

// A store of n frames whose pixels, positions and timestamps carry the frame number.
class FrameStore : public ::testing::Test {
 protected:
  void fill(int n, int positions = -1) {
    for (int i = 0; i < n; ++i) store.add_image(make_image(uint8_t(i)));
    for (int i = 0; i < (positions < 0 ? n : positions); ++i) store.positions.push_back(make_position(float(i)));
    for (int i = 0; i < n; ++i) store.timestamps.push_back(uint64_t(1000 + i));
  }
  std::vector<int> image_ids() const {
    std::vector<int> v;
    for (const auto& r : store.images) v.push_back(r->display[0]);
    return v;
  }
  std::vector<int> position_ids() const {
    std::vector<int> v;
    for (const auto& r : store.positions) v.push_back(int(r->x));
    return v;
  }
  std::vector<int> timestamp_ids() const {
    std::vector<int> v;
    for (uint64_t t : store.timestamps) v.push_back(int(t - 1000));
    return v;
  }
  dynabuf store;
};

TEST(FrameImage, CreateAndRelease) {
  EXPECT_FALSE(frame_image_t::create(nullptr, 10));
  EXPECT_FALSE(frame_image_t::create(nullptr, nullptr, 10));

  frame_image_ref a = make_image(7, 4);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->count, 1);
  EXPECT_EQ(a->stamp, -1);
  EXPECT_EQ(a->size, 4);
  EXPECT_EQ(a->raw, nullptr);

  frame_image_ref b = a;
  EXPECT_EQ(a->count, 2);
  EXPECT_EQ(a.get(), b.get());
  release_frame_image(b);
  EXPECT_FALSE(b);
  EXPECT_EQ(a->count, 1);
  release_frame_image(b);  // an empty handle stays empty
  EXPECT_FALSE(b);

  frame_image_ref moved = std::move(a);
  EXPECT_FALSE(a);
  EXPECT_EQ(moved->count, 1);
  moved = moved;  // self-assignment keeps the count
  EXPECT_EQ(moved->count, 1);
  release_frame_image(moved);  // frees the record and pixels (checked under ASan)
  EXPECT_FALSE(moved);

  // 16-bit records may start without display pixels.
  frame_image_ref raw_only = frame_image_t::create(nullptr, new uint16_t[4](), 0);
  ASSERT_TRUE(raw_only);
  EXPECT_EQ(raw_only->display, nullptr);
  EXPECT_NE(raw_only->raw, nullptr);
}

TEST(FrameImage, DisplayDataWindowsOnlyRecordsWithRawValues) {
  EXPECT_EQ(frame_image_t::display_data(frame_image_ref()), nullptr);

  static int calls;
  static const uint16_t* seen_raw;
  calls = 0;
  const frame_windowing_fn old = frame_windowing();
  set_frame_windowing([](const uint16_t* raw, frame_image_t& rec, int32_t& size, int32_t& stamp) {
    ++calls;
    seen_raw = raw;
    EXPECT_EQ(&size, &rec.size);
    EXPECT_EQ(&stamp, &rec.stamp);
    stamp = 42;
  });

  frame_image_ref plain = make_image(3);
  uint8_t* px = plain->display;
  EXPECT_EQ(frame_image_t::display_data(plain), px);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(px[0], 3);

  auto* raw = new uint16_t[6]();
  frame_image_ref deep = frame_image_t::create(new uint8_t[6](), raw, 6);
  EXPECT_EQ(frame_image_t::display_data(deep), deep->display);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen_raw, raw);
  EXPECT_EQ(deep->stamp, 42);
  set_frame_windowing(old);
}

TEST(Position, SharedHolderCounts) {
  position_ref a = make_position(2.5f);
  ASSERT_TRUE(a);
  EXPECT_EQ(a.holder()->count, 1);
  {
    position_ref b = a, c;
    c = b;
    EXPECT_EQ(a.holder()->count, 3);
    c->y = 9.0f;  // shared, not copied
  }
  EXPECT_EQ(a.holder()->count, 1);
  EXPECT_EQ(a->y, 9.0f);
  a.reset();
  EXPECT_FALSE(a);
  EXPECT_EQ(a.get(), nullptr);
}

TEST_F(FrameStore, AddImageKeepsExactlyOneReference) {
  frame_image_ref img = make_image(1);
  store.add_image(img);
  EXPECT_EQ(img->count, 2);  // the caller's and the store's
  store.add_image(make_image(2));
  EXPECT_EQ(store.images[1]->count, 1);
}

TEST_F(FrameStore, AccessorsShareAndCheckTheIndex) {
  fill(3, 2);
  {
    frame_image_ref i1 = store.imagecp(1);
    position_ref p1 = store.positioncp(1);
    EXPECT_EQ(i1->display[0], 1);
    EXPECT_EQ(i1->count, 2);
    EXPECT_EQ(p1->x, 1.0f);
    EXPECT_EQ(p1.holder()->count, 2);
    EXPECT_EQ(store.timestamp(2), 1002u);
  }
  EXPECT_EQ(store.images[1]->count, 1);
  EXPECT_EQ(store.positions[1].holder()->count, 1);

  log_capture logs;
  EXPECT_FALSE(store.imagecp(3));
  EXPECT_FALSE(store.imagecp(-1));
  EXPECT_FALSE(store.positioncp(2));  // beyond the shorter position vector
  EXPECT_EQ(store.timestamp(-5), 0u);
  EXPECT_TRUE(logs.has_text("dynabuf::imagecp(long index), index 3 out of range."));
  EXPECT_TRUE(logs.has_text("dynabuf::imagecp(long index), index -1 out of range."));
  EXPECT_TRUE(logs.has_text("dynabuf::positioncp(long index), index 2 out of range."));
  EXPECT_TRUE(logs.has_text("dynabuf::timestamp(long index), index -5 out of range."));
  EXPECT_EQ(logs.count(wxLOG_Debug), 4);

  store.images.push_back(frame_image_ref());  // an empty entry gives an empty reference
  EXPECT_FALSE(store.imagecp(3));
}

TEST_F(FrameStore, EraseFrames) {
  struct row {
    int first, last, positions;
    std::vector<int> images, kept_positions;
  };
  const row rows[] = {
      {0, 0, 10, {}, {}},
      {12, 0, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {-1, 0, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {4, 0, 10, {0, 1, 2, 3}, {0, 1, 2, 3}},
      {4, 0, 3, {0, 1, 2, 3}, {0, 1, 2}},         // shorter vector left alone
      {0, 0, 0, {}, {}},                          // images without positions
      {2, 5, 10, {0, 1, 5, 6, 7, 8, 9}, {0, 1, 5, 6, 7, 8, 9}},
      {2, 5, 4, {0, 1, 5, 6, 7, 8, 9}, {0, 1}},   // each vector within its length
      {5, 5, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {8, 20, 10, {0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2, 3, 4, 5, 6, 7}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "erase_frames(" << r.first << ", " << r.last << ")");
    store.clear();
    fill(10, r.positions);
    // Outside references keep their frames alive while the store lets go.
    frame_image_ref held = store.imagecp(9);
    store.erase_frames(r.first, r.last);
    EXPECT_EQ(image_ids(), r.images);
    EXPECT_EQ(position_ids(), r.kept_positions);
    EXPECT_EQ(timestamp_ids(), r.images);
    EXPECT_EQ(held->count, (r.images.size() == 10 || (!r.images.empty() && r.images.back() == 9)) ? 2 : 1);
    EXPECT_EQ(held->display[0], 9);
    for (const auto& img : store.images) EXPECT_EQ(img->count, img.get() == held.get() ? 2 : 1);
    for (const auto& pos : store.positions) EXPECT_EQ(pos.holder()->count, 1);
  }
}

TEST_F(FrameStore, EraseUnselectedKeepsOrderInAllVectors) {
  fill(4);
  frame_image_ref second = store.imagecp(1);
  EXPECT_TRUE(store.erase_unselected({1, 0, 1, 0}));
  EXPECT_EQ(image_ids(), (std::vector<int>{0, 2}));
  EXPECT_EQ(position_ids(), (std::vector<int>{0, 2}));
  EXPECT_EQ(timestamp_ids(), (std::vector<int>{0, 2}));
  EXPECT_EQ(second->count, 1);  // the store's reference was released
  for (const auto& img : store.images) EXPECT_EQ(img->count, 1);
}

TEST_F(FrameStore, EraseUnselectedWithShortPositionVector) {
  fill(5, 2);
  EXPECT_TRUE(store.erase_unselected({0, 1, 1, 0, 1}));
  EXPECT_EQ(image_ids(), (std::vector<int>{1, 2, 4}));
  EXPECT_EQ(position_ids(), (std::vector<int>{1}));
}

TEST_F(FrameStore, EraseUnselectedRefusesShortSelection) {
  fill(4);
  log_capture logs;
  EXPECT_FALSE(store.erase_unselected({0, 0}));
  EXPECT_EQ(image_ids(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(position_ids(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_TRUE(logs.has(wxLOG_Error, "no frames were removed"));
}

TEST_F(FrameStore, ClearReleasesEverything) {
  fill(3);
  frame_image_ref img = store.imagecp(0);
  position_ref pos = store.positioncp(0);
  store.reserve(500);
  EXPECT_GE(store.images.capacity(), 500u);
  store.clear();
  EXPECT_TRUE(store.images.empty());
  EXPECT_TRUE(store.positions.empty());
  EXPECT_TRUE(store.timestamps.empty());
  EXPECT_EQ(img->count, 1);
  EXPECT_EQ(pos.holder()->count, 1);
}

}  // namespace

namespace {

// Whether an address lies in one of this process's mappings.
bool mapped(const void* p) {
  std::ifstream maps("/proc/self/maps");
  const uintptr_t a = reinterpret_cast<uintptr_t>(p);
  for (std::string line; std::getline(maps, line);) {
    uintptr_t from = 0, to = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx", &from, &to) == 2 && a >= from && a < to) return true;
  }
  return false;
}

// Frames carved from one slab are deleted one by one in any order; the slab
// goes back to the system with the last, and not before.
TEST(FrameSlab, FramesAreCarvedAndReleasedOneByOne) {
  const int32_t size = 10000;
  frame_slab* slab = frame_slab::create(3, size);
  ASSERT_NE(slab, nullptr);
  std::vector<frame_image_ref> frames;
  std::vector<uint8_t*> buffers;
  for (int k = 0; k < 3; ++k) {
    uint8_t* p = slab->carve();
    ASSERT_NE(p, nullptr);
    std::memset(p, 10 + k, size);
    buffers.push_back(p);
    frames.push_back(frame_image_t::create_in_slab(p, slab, size));
  }
  EXPECT_EQ(slab->carve(), nullptr);
  EXPECT_EQ(buffers[1] - buffers[0], size);
  EXPECT_EQ(buffers[2] - buffers[1], size);
  frames[1].reset();
  EXPECT_EQ(frame_image_t::display_data(frames[0])[size - 1], 10);
  EXPECT_EQ(frame_image_t::display_data(frames[2])[0], 12);
  frames[2].reset();
  EXPECT_TRUE(mapped(buffers[0]));
  frames[0].reset();
  EXPECT_FALSE(mapped(buffers[0]));

  // A slab sealed after one frame frees itself with that frame.
  frame_slab* partial = frame_slab::create(4, size);
  ASSERT_NE(partial, nullptr);
  uint8_t* only = partial->carve();
  frame_image_ref image = frame_image_t::create_in_slab(only, partial, size);
  partial->seal();
  EXPECT_TRUE(mapped(only));
  image.reset();
  EXPECT_FALSE(mapped(only));
  EXPECT_EQ(frame_slab::create(0, size), nullptr);
  EXPECT_EQ(frame_slab::create(SIZE_MAX / 2, size), nullptr);
}

// A slab of a huge page or more starts on a huge-page boundary, so that
// the kernel can back all of it with huge pages.
TEST(FrameSlab, LargeSlabsStartOnAHugePageBoundary) {
  const size_t huge = size_t(1) << 21;
  for (size_t frame_bytes : {size_t(300000), size_t(307200), huge + 1}) {
    frame_slab* slab = frame_slab::create(8, frame_bytes);
    ASSERT_NE(slab, nullptr);
    size_t got = 0;
    uint8_t* first = slab->carve(8, got);
    ASSERT_EQ(got, 8u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % huge, 0u) << frame_bytes;
    first[0] = 1;
    first[8 * frame_bytes - 1] = 2;  // the whole slab is there to be written
    std::vector<frame_image_ref> frames;
    for (size_t k = 0; k < 8; ++k)
      frames.push_back(frame_image_t::create_in_slab(first + k * frame_bytes, slab, 1));
    frames.clear();
    EXPECT_FALSE(mapped(first));
  }
}

// A carver hands out runs of frames that follow one another, never more
// than announced; frames not carved when it goes are never waited for.
TEST(FrameSlab, CarverGivesRunsAndEveryFrameGoesOnItsOwn) {
  const size_t size = 10000;
  std::vector<frame_image_ref> frames;
  uint8_t* first = nullptr;
  {
    frame_carver carver(7, size);
    frame_slab* slab = nullptr;
    size_t got = 0;
    first = carver.carve(5, got, slab);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(got, 5u);
    size_t more = 0;
    frame_slab* same = nullptr;
    uint8_t* next = carver.carve(5, more, same);
    EXPECT_EQ(more, 2u);
    EXPECT_EQ(next, first + 5 * size);
    EXPECT_EQ(same, slab);
    EXPECT_EQ(carver.carve(same), nullptr);
    for (size_t k = 0; k < 7; ++k) {
      std::memset(first + k * size, int(k), size);
      frames.push_back(frame_image_t::create_in_slab(first + k * size, slab, int32_t(size)));
    }
  }
  // Dropped in any order: the others keep their pixels until the last goes.
  for (size_t k : {3u, 0u, 6u, 1u, 5u, 2u}) {
    frames[k].reset();
    EXPECT_TRUE(mapped(first));
    EXPECT_EQ(frame_image_t::display_data(frames[4])[size - 1], 4);
  }
  frames[4].reset();
  EXPECT_FALSE(mapped(first));

  // A load that ends early: the carver's slab goes with its last frame.
  frame_image_ref only;
  uint8_t* p = nullptr;
  {
    frame_carver carver(4, size);
    frame_slab* slab = nullptr;
    p = carver.carve(slab);
    ASSERT_NE(p, nullptr);
    only = frame_image_t::create_in_slab(p, slab, int32_t(size));
  }
  EXPECT_TRUE(mapped(p));
  only.reset();
  EXPECT_FALSE(mapped(p));
}

// Display and raw values carved from slabs of their own go back to them;
// a display buffer replaced by windowing goes back to its slab too.
TEST(FrameSlab, RawValuesAndReplacedDisplaysGoBackToTheirSlabs) {
  const size_t size = 5000;
  frame_carver displays(2, size), raws(2, size * 2);
  frame_slab *ds = nullptr, *rs = nullptr;
  size_t got = 0;
  uint8_t* d = displays.carve(2, got, ds);
  auto* r = reinterpret_cast<uint16_t*>(raws.carve(2, got, rs));
  ASSERT_TRUE(d && r);
  frame_image_ref a = frame_image_t::create_in_slab(d, ds, r, rs, int32_t(size));
  frame_image_ref b = frame_image_t::create_in_slab(d + size, ds, r + size, rs, int32_t(size));
  EXPECT_FALSE(frame_image_t::create_in_slab(d, ds, r, nullptr, int32_t(size)));
  b->replace_display(new uint8_t[size]());
  EXPECT_EQ(b->slab, nullptr);
  a.reset();
  EXPECT_FALSE(mapped(d));  // both displays are back: the display slab is gone
  EXPECT_TRUE(mapped(r));
  b.reset();
  EXPECT_FALSE(mapped(r));
}

// Values read into scratch (8-bit expected) that turn out 16-bit are kept
// in a slab; values read into a slab that turn out 8-bit go back; a frame
// that could not be read gives both buffers back.
TEST(FrameSlab, PairCarverKeepsValuesOnlyFor16BitFrames) {
  const size_t pixels = 4;
  frame_pair_carver buffers(4, pixels);
  ASSERT_TRUE(buffers.next(true));
  for (size_t i = 0; i < pixels; ++i) {
    buffers.raw()[i] = uint16_t(1000 + i);
    buffers.display()[i] = uint8_t(i);
  }
  frame_image_ref sixteen = buffers.keep(false, int32_t(pixels));
  ASSERT_TRUE(sixteen);
  ASSERT_NE(sixteen->raw_slab, nullptr);
  EXPECT_EQ(std::vector<uint16_t>(sixteen->raw, sixteen->raw + pixels),
            (std::vector<uint16_t>{1000, 1001, 1002, 1003}));
  EXPECT_EQ(sixteen->display[3], 3);

  ASSERT_TRUE(buffers.next(false));
  buffers.display()[0] = 77;
  frame_image_ref eight = buffers.keep(true, int32_t(pixels));
  ASSERT_TRUE(eight);
  EXPECT_EQ(eight->raw, nullptr);
  EXPECT_EQ(eight->raw_slab, nullptr);
  EXPECT_EQ(eight->display[0], 77);
  EXPECT_EQ(eight->display, sixteen->display + pixels);

  ASSERT_TRUE(buffers.next(false));
  buffers.drop();
  EXPECT_FALSE(buffers.keep(false, int32_t(pixels)));
  ASSERT_TRUE(buffers.next(false));
  EXPECT_FALSE(buffers.next(false)) << "no more than the four announced frames";
}

}  // namespace
