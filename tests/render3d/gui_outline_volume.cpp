// The 3D view's volume texture under Xvfb: the texels read back against the
// frames (decimated, smoothed), the reduction warning once until release,
// expert mode, refused allocations, data too small to render, and the
// transfer-function texture of disabled rows.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include "common/log_capture.h"
#include "data/dynabuf.h"
#include "data/objects.h"
#include "registry/res_values.h"
#include "registry/resource_table.h"
#include "render3d/outline_canvas.h"
#include "tools/headless_session.h"
#include "views/gl_view_support.h"
#include "views/globcmap.h"
#include "views/shader.h"

namespace {

bool wait_for(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    wxTheApp->Yield(true);
    wxMilliSleep(2);
  }
  return true;
}

uint8_t pixel_value(int f, int x, int y) { return static_cast<uint8_t>((3 * x + 5 * y + 7 * f) & 255); }

class VolumeScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    static int attributes[] = {WX_GL_RGBA, WX_GL_DOUBLEBUFFER, WX_GL_DEPTH_SIZE, 16, 0};
    gl_attributes = attributes;
    colour_map = new globcmap_t;
    resource_table_t& t = *resource_table;
    t.RES_EXEC_DIR->write(NV_RUNTIME_DIR);
    t.RES_XSCALE->write(0.01);
    t.RES_YSCALE->write(0.01);
    t.RES_ZSCALE->write(0.05);
    t.RES_EXPERT_MODE->write(false);
    volume_object* rows = t.RES_VOLUME->read();
    for (int i = 0; i < 10; ++i) rows[i].enabled = 0;
  }
  void TearDown() override {
    if (frame_) {
      frame_->Destroy();
      wait_for([] { return !wxTheApp->Pending(); });
      wxTheApp->ProcessIdle();
    }
    delete colour_map;
    colour_map = nullptr;
  }

  // F frames of w x h, frame k at z = 0.05 k.
  void load(int F, int32_t w, int32_t h) {
    frame_store->clear();
    for (int f = 0; f < F; ++f) {
      auto* p = new uint8_t[static_cast<size_t>(w) * h];
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p[y * w + x] = pixel_value(f, x, y);
      frame_store->add_image(frame_image_t::create(p, w * h));
      position_t pos;
      pos.z = static_cast<float>(0.05 * f);
      frame_store->positions.push_back(position_holder_t::create(pos));
    }
    resource_table_t& t = *resource_table;
    t.RES_BUF_WIDTH->write_no_changeprocs(w);
    t.RES_BUF_HEIGHT->write_no_changeprocs(h);
    t.RES_BUF_FRAMES->write_no_changeprocs(F);
    t.RES_POS_REC->write_no_changeprocs(true);
    base_res_t::make_pending_writes_happen();
  }

  void open() {
    frame_ = new wxFrame(nullptr, wxID_ANY, "volume", wxDefaultPosition, wxDefaultSize);
    view_ = new outline_canvas(frame_, wxID_ANY, wxDefaultPosition, wxDefaultSize, 0, "outline_canvas");
    frame_->SetClientSize(160, 120);
    frame_->Show();
    ASSERT_TRUE(wait_for([&] { return view_->paints() > 1; }));
    ASSERT_TRUE(view_->make_current());
    ASSERT_NE(view_->shader_set().installed_mask, 0u);
  }

  std::vector<uint8_t> texels(int channels) {
    const volume_texture_state& v = view_->volume_state();
    std::vector<uint8_t> out(static_cast<size_t>(v.reduction.w) * v.reduction.h * v.reduction.f * channels);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glBindTexture(GL_TEXTURE_3D, v.texture);
    glGetTexImage(GL_TEXTURE_3D, 0, channels == 2 ? GL_RG : GL_RED, GL_UNSIGNED_BYTE, out.data());
    glBindTexture(GL_TEXTURE_3D, 0);
    return out;
  }

  headless_session session_;
  wxFrame* frame_ = nullptr;
  outline_canvas* view_ = nullptr;
};

const char* const kReduced600 =
    "Reduced volume rendering in-plane resolution by x2,\ndue to maximum 3D texture width limit of 512.";

TEST_F(VolumeScreen, ReducedTextureHoldsEverySecondPixelAndWarnsOnceUntilRelease) {
  load(3, 600, 500);
  open();
  view_->set_volume_size_limit(512);
  log_capture log;
  view_->volume_render(true, true, false);
  const volume_texture_state& v = view_->volume_state();
  ASSERT_NE(v.texture, kNoVolumeTexture);
  EXPECT_EQ(v.reduction.m, 2);
  EXPECT_EQ(v.reduction.w, 300);
  EXPECT_EQ(v.reduction.h, 250);
  EXPECT_EQ(v.reduction.f, 3);
  EXPECT_EQ(log.count(wxLOG_Warning), 1);
  EXPECT_TRUE(log.has(wxLOG_Warning, kReduced600));
  const std::vector<uint8_t> tex = texels(1);
  int bad = 0;
  for (int z = 0; z < 3; ++z)
    for (int y = 0; y < 250; ++y)
      for (int x = 0; x < 300; ++x) bad += tex[(size_t(z) * 250 + y) * 300 + x] != pixel_value(z, 2 * x, 2 * y);
  EXPECT_EQ(bad, 0);

  view_->volume_render(true, true, false);  // a second reduction in the same run
  EXPECT_EQ(v.builds, 2);
  EXPECT_EQ(log.count(wxLOG_Warning), 1);
  view_->volume_render(false, false, true);
  EXPECT_EQ(v.texture, kNoVolumeTexture);
  EXPECT_EQ(v.transfer, kNoVolumeTexture);
  view_->volume_render(false, false, false);  // no texture: built again, warned again
  EXPECT_EQ(log.count(wxLOG_Warning), 2);

  // Expert mode hides the warning but not the out-of-memory error.
  resource_table->RES_EXPERT_MODE->write(true);
  view_->volume_render(false, false, true);
  view_->volume_render(true, true, false);
  EXPECT_EQ(log.count(wxLOG_Warning), 2);
  view_->set_volume_refusal([](int32_t, int32_t, int32_t) { return true; });
  view_->volume_render(false, false, true);
  EXPECT_FALSE(view_->volume_render(true, true, false));
  EXPECT_EQ(v.texture, kNoVolumeTexture);
  EXPECT_EQ(log.count(wxLOG_Error), 1);
  EXPECT_TRUE(log.has(wxLOG_Error, "Not enough graphics memory for data for volume rendering (error 1285)."));
}

TEST_F(VolumeScreen, RefusedAllocationsReduceTheFinerAxisAndSayWhy) {
  load(4, 40, 30);  // pixels 0.01 cm, frames 0.05 cm apart: pixels go first
  open();
  int refusals = 0;
  view_->set_volume_refusal([&](int32_t, int32_t, int32_t) { return ++refusals <= 2; });
  log_capture log;
  view_->volume_render(true, true, false);
  const volume_texture_state& v = view_->volume_state();
  ASSERT_NE(v.texture, kNoVolumeTexture);
  EXPECT_EQ(v.reduction.m, 3);
  EXPECT_EQ(v.reduction.n, 1);
  EXPECT_EQ(v.reduction.w, 14);
  EXPECT_TRUE(log.has(wxLOG_Warning,
                      "Reduced volume rendering in-plane resolution by x3,\ndue to overall graphics memory limit."));
  const std::vector<uint8_t> tex = texels(1);
  EXPECT_EQ(tex[(size_t(2) * 10 + 4) * 14 + 5], pixel_value(2, 15, 12));
}

// Frames of 8 x 8 against a limit of 4: every second pixel of every second
// frame, the frames smoothed.
TEST_F(VolumeScreen, SevenFramesGiveFourSmoothedSlices) {
  load(7, 8, 8);
  open();
  view_->set_volume_size_limit(4);
  log_capture log;
  view_->volume_render(true, true, false);
  EXPECT_TRUE(log.has(wxLOG_Warning, "Reduced volume rendering in-plane resolution by x2\nand reduced "
                                     "out-of-plane resolution by x2,\ndue to maximum 3D texture width limit of 4."));
  const volume_texture_state& v = view_->volume_state();
  ASSERT_NE(v.texture, kNoVolumeTexture);
  EXPECT_EQ(v.slice_frames, (std::vector<int32_t>{0, 2, 4, 6}));
  EXPECT_EQ(v.reduction.f, 4);
  const std::vector<uint8_t> tex = texels(1);
  const double e = std::exp(-1.155625);
  for (int s = 0; s < 4; ++s)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const int j = 2 * s;
        double num = 0.0, den = 0.0;
        for (int k = j - 1; k <= j + 1; ++k)
          if (k >= 0 && k < 7) {
            const double w = k == j ? 1.0 : e;
            num += w * pixel_value(k, 2 * x, 2 * y), den += w;
          }
        EXPECT_EQ(tex[(size_t(s) * 4 + y) * 4 + x], int(num / den + 0.5)) << s << " " << x << " " << y;
      }
}

TEST_F(VolumeScreen, DataTooSmallRenderNothingAndSayNothing) {
  struct row {
    int F, w, h;
  };
  for (const row& r : {row{1, 8, 8}, row{3, 1, 8}, row{3, 8, 1}}) {
    load(r.F, r.w, r.h);
    if (!view_) open();
    log_capture log;
    EXPECT_FALSE(view_->volume_render(true, true, false));
    EXPECT_EQ(view_->volume_state().texture, kNoVolumeTexture);
    EXPECT_EQ(view_->volume_state().builds, 0);
    EXPECT_TRUE(log.records().empty());
  }
}

TEST_F(VolumeScreen, DisabledRowsGiveTheDefaultRampReshaped) {
  load(3, 40, 30);
  open();
  view_->volume_render(true, true, false);
  const volume_texture_state& v = view_->volume_state();
  ASSERT_NE(v.transfer, kNoVolumeTexture);
  std::vector<float> table(256 * 4), material(256 * 3);
  glBindTexture(GL_TEXTURE_1D, v.transfer);
  glGetTexImage(GL_TEXTURE_1D, 0, GL_RGBA, GL_FLOAT, table.data());
  glBindTexture(GL_TEXTURE_1D, v.material);
  glGetTexImage(GL_TEXTURE_1D, 0, GL_RGB, GL_FLOAT, material.data());
  glBindTexture(GL_TEXTURE_1D, 0);
  const double p = 2.0, q = (40 + 30) / 1024.0;  // translucency 50, no reduction
  for (int e : {0, 1, 2, 128, 255}) {
    const double a = e / 255.0;
    EXPECT_NEAR(table[e * 4 + 0], a, 1e-5) << e;
    EXPECT_NEAR(table[e * 4 + 2], a, 1e-5) << e;
    EXPECT_NEAR(table[e * 4 + 3], e < 2 ? 0.0 : 1.0 - std::pow(1.0 - std::pow(a, p), q), 1e-5) << e;
    EXPECT_NEAR(material[e * 3 + 0], 0.5, 1e-6);
    EXPECT_NEAR(material[e * 3 + 1], 0.0, 1e-6);
  }
  // Values 0..(3 x 39 + 5 x 29 + 14) occur everywhere in x: the render box
  // spans the data's visible values.
  EXPECT_GE(v.render_box.hi[0], 0.99);
  EXPECT_LE(v.render_box.lo[0], 0.01);
}

}  // namespace
