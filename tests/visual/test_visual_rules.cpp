// What a change of visualisation page does to the reslice and panorama
// builders, carried out on real builders, and the image-save naming rule.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "data/dynabuf.h"
#include "data/reslice_info.h"
#include "tools/headless_session.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"
#include "visual/visual_builders.h"

namespace {

// The builders each page leaves: planes 0 to 3 and 4 for the panorama.
const std::set<int> kPageBuilders[8] = {
    {}, {1, 2}, {0}, {}, {}, {3, 4}, {4}, {3},
};

std::set<int> present() {
  resource_table_t& t = *resource_table;
  std::set<int> s;
  for (int k = 0; k < 4; ++k)
    if (t.RESLICE->read()[k].builder) s.insert(k);
  if (t.RES_PANORAMA->read()) s.insert(kPanoramaBuilder);
  return s;
}

void change(int old, int next) {
  const visual_change_plan plan = plan_visual_change(old, next);
  delete_visual_builders(plan);
  create_visual_builders(plan);
}

TEST(VisualChange, EveryPagePairLeavesExactlyThatPagesBuilders) {
  headless_session session;
  resource_table_t& t = *resource_table;
  for (int old = 0; old < 8; ++old)
    for (int next = 0; next < 8; ++next) {
      SCOPED_TRACE(std::to_string(old) + " then " + std::to_string(next));
      change(0, 0);
      change(0, old);
      ASSERT_EQ(present(), kPageBuilders[old]);
      auto* plane3 = t.RESLICE->read()[3].builder;
      void* panorama = t.RES_PANORAMA->read();
      change(old, next);
      EXPECT_EQ(present(), kPageBuilders[next]);
      if (old == next) {
        // Selecting the current page changes no builder (page 0 has none).
        EXPECT_EQ(t.RESLICE->read()[3].builder, plane3);
        EXPECT_EQ(t.RES_PANORAMA->read(), panorama);
      } else if ((old == 5 && next == 7) || (old == 7 && next == 5)) {
        // Pressure and Spine share plane 3's builder.
        EXPECT_EQ(t.RESLICE->read()[3].builder, plane3);
      }
    }
  change(3, 0);
  EXPECT_TRUE(present().empty());
}

TEST(VisualChange, PlansFollowThePagesOrderAndArrangement) {
  struct plan_case {
    int old, next;
    std::vector<int> deleted, created;
    lower_views arrangement;
  } const cases[] = {
      {1, 2, {2, 1, 3, 4}, {0}, lower_views::centre},
      {0, 1, {0, 3, 4}, {2, 1}, lower_views::centre_and_corner},
      {1, 6, {2, 1, 0, 3, 4}, {4}, lower_views::centre},
      {7, 5, {2, 1, 0, 4}, {4, 3}, lower_views::centre},
      {5, 7, {2, 1, 0, 4}, {3}, lower_views::centre},
      {1, 4, {2, 1, 0, 3, 4}, {}, lower_views::centre},
      {1, 3, {2, 1, 0, 3, 4}, {}, lower_views::centre},
      {2, 0, {3, 2, 1, 0, 4}, {}, lower_views::blank},
      {0, 0, {3, 2, 1, 0, 4}, {}, lower_views::blank},
      {2, 2, {}, {}, lower_views::unchanged},
  };
  for (const plan_case& c : cases) {
    SCOPED_TRACE(std::to_string(c.old) + " then " + std::to_string(c.next));
    const visual_change_plan p = plan_visual_change(c.old, c.next);
    EXPECT_EQ(p.deleted, c.deleted);
    EXPECT_EQ(p.created, c.created);
    EXPECT_EQ(p.arrangement, c.arrangement);
    EXPECT_EQ(p.panorama_keeps_size, c.next == 5 && c.old != 5);
  }
}

TEST(VisualChange, ThePanoramaIsMadeAnewAndShownOnThePanoramaPage) {
  headless_session session;
  resource_table_t& t = *resource_table;
  const int32_t frames_procs = t.RES_BUF_FRAMES->read_worrylist_length(nullptr);
  change(0, 6);
  auto* first = static_cast<panorama_internals*>(t.RES_PANORAMA->read());
  ASSERT_NE(first, nullptr);
  first->toggle_alignment();
  const int32_t flags = t.RES_REDISPLAY_PANORAMA->counter();
  change(5, 6);
  auto* second = static_cast<panorama_internals*>(t.RES_PANORAMA->read());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->alignment(), 0);
  EXPECT_EQ(t.RES_REDISPLAY_PANORAMA->counter(), flags + 1);
  // Only the new builder watches the frames: the old one unregistered.
  EXPECT_EQ(t.RES_BUF_FRAMES->read_worrylist_length(nullptr), frames_procs + 1);
  // Without data the Pressure page's panorama is not panoramic: not raised.
  const int32_t before_pressure = t.RES_REDISPLAY_PANORAMA->counter();
  change(6, 5);
  EXPECT_EQ(t.RES_REDISPLAY_PANORAMA->counter(), before_pressure);
  change(5, 0);
}

TEST(ImageSave, NamesWithoutADotTakeTheFiltersExtension) {
  struct save_case {
    const char* path;
    int filter;
    const char* written;
    wxBitmapType type;
  } const cases[] = {
      {"/tmp/out", 0, "/tmp/out.png", wxBITMAP_TYPE_PNG},
      {"/tmp/out", 1, "/tmp/out.jpeg", wxBITMAP_TYPE_JPEG},
      {"/tmp/out", 2, "/tmp/out.bmp", wxBITMAP_TYPE_BMP},
      {"/tmp/out", 3, "/tmp/out.tiff", wxBITMAP_TYPE_TIFF},
      {"/tmp/out.png", 1, "/tmp/out.png", wxBITMAP_TYPE_JPEG},
      {"/tmp/a.b/out", 3, "/tmp/a.b/out.tiff", wxBITMAP_TYPE_TIFF},
      {"/tmp/my.scan", 2, "/tmp/my.scan", wxBITMAP_TYPE_BMP},
  };
  for (const save_case& c : cases) {
    EXPECT_EQ(image_save_path(c.path, c.filter), c.written) << c.path;
    EXPECT_EQ(image_save_type(c.filter), c.type) << c.filter;
  }
  EXPECT_EQ(static_cast<int>(wxBITMAP_TYPE_PNG), 15);
  EXPECT_EQ(static_cast<int>(wxBITMAP_TYPE_TIFF), 11);
}

}  // namespace
