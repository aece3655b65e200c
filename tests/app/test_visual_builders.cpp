// The builders each visualisation page computes, created and deleted as the
// page changes.
#include <gtest/gtest.h>

#include <memory>

#include "app/visual_builders.h"
#include "data/dynabuf.h"
#include "data/reslice_info.h"
#include "tools/headless_session.h"
#include "views/panorama_internals.h"

namespace {

struct page_case {
  const char* title;
  bool planes[4];
  bool panorama;
  bool keep_size;
};

const page_case kPages[] = {
    {"Blank", {false, false, false, false}, false, false},
    {"Ortho", {false, true, true, false}, false, false},
    {"Reslice", {true, false, false, false}, false, false},
    {"Volume", {false, false, false, false}, false, false},
    {"Thickness", {false, false, false, false}, false, false},
    {"Pressure", {false, false, false, true}, true, true},
    {"Panorama", {false, false, false, false}, true, false},
    {"Spine", {false, false, false, true}, false, false},
};

TEST(VisualBuilders, EachPageHasItsBuildersAndNoOthers) {
  headless_session session;
  resource_table_t& t = *resource_table;
  // Every page after every other: what exists depends only on the page.
  for (const page_case& before : kPages)
    for (const page_case& page : kPages) {
      SCOPED_TRACE(std::string(before.title) + " then " + page.title);
      apply_visual_builders(builders_for_page(before.title));
      apply_visual_builders(builders_for_page(page.title));
      for (int k = 0; k < 4; ++k) EXPECT_EQ(t.RESLICE->read()[k].builder != nullptr, page.planes[k]) << k;
      EXPECT_EQ(t.RES_PANORAMA->read() != nullptr, page.panorama);
    }
  apply_visual_builders(builders_for_page("Blank"));
  EXPECT_EQ(t.RES_PANORAMA->read(), nullptr);
}

TEST(VisualBuilders, ThePanoramaIsMadeAnewAndShownOnThePanoramaPage) {
  headless_session session;
  resource_table_t& t = *resource_table;
  const int32_t frames_procs = t.RES_BUF_FRAMES->read_worrylist_length(nullptr);
  apply_visual_builders(builders_for_page("Panorama"));
  auto* first = static_cast<panorama_internals*>(t.RES_PANORAMA->read());
  ASSERT_NE(first, nullptr);
  first->toggle_alignment();
  const int32_t flags = t.RES_REDISPLAY_PANORAMA->counter();
  apply_visual_builders(builders_for_page("Panorama"));
  auto* second = static_cast<panorama_internals*>(t.RES_PANORAMA->read());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->alignment(), 0);
  EXPECT_EQ(t.RES_REDISPLAY_PANORAMA->counter(), flags + 1);
  // Only the new builder watches the frames: the old one unregistered.
  EXPECT_EQ(t.RES_BUF_FRAMES->read_worrylist_length(nullptr), frames_procs + 1);
  // Without data the Pressure page's panorama is not panoramic: not raised.
  const int32_t before_pressure = t.RES_REDISPLAY_PANORAMA->counter();
  apply_visual_builders(builders_for_page("Pressure"));
  EXPECT_EQ(t.RES_REDISPLAY_PANORAMA->counter(), before_pressure);
}

}  // namespace
