// The life of a correction run: which runs can be finished and used, what the
// user is shown and asked, and what accepting a run writes into the data.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "data/landmarks.h"
#include "data/objects.h"
#include "segmentation/correction_test_support.h"
#include "segmentation/image_correlation.h"
#include "tools/headless_session.h"

namespace {

using namespace correction_test;

constexpr int32_t kW = 256, kH = 200;

class CorrectionRun : public ::testing::Test {
 protected:
  void SetUp() override { session_ = std::make_unique<headless_session>(); }
  void TearDown() override { session_.reset(); }
  std::unique_ptr<headless_session> session_;
};

TEST_F(CorrectionRun, OnlyRunsOverEnoughUsableFramesFinish) {
  struct state_case {
    const char* what;
    int frames;
    int32_t height;
    bool positions, progress, in_script;
    int cancel_at;
    bool answer;
    double shift;                // pixels frame 1 moved against frame 0
    std::vector<bool> added;     // correct_frame's results
    bool finished, asked, warned;
  };
  const state_case cases[] = {
      {"one frame", 1, kH, true, true, false, -1, true, 0, {true}, false, false, false},
      {"short frames", 3, 39, true, false, false, -1, true, 0, {false, false, false}, false, false, true},
      {"no positions", 3, kH, false, false, false, -1, true, 0, {false, false, false}, false, false, true},
      {"cancelled at frame 2", 5, kH, true, true, false, 2, true, 0, {true, true, false, false, false}, false, false,
       false},
      {"large and declined", 2, kH, true, true, false, -1, false, 20, {true, true}, false, true, false},
      {"large and accepted", 2, kH, true, true, false, -1, true, 20, {true, true}, true, true, false},
      {"large in a script", 2, kH, true, true, true, -1, true, 20, {true, true}, false, false, true},
      {"large without a dialog", 2, kH, true, false, false, -1, true, 20, {true, true}, false, false, true},
      {"small without a dialog", 2, kH, true, false, false, -1, true, 2, {true, true}, true, false, false},
  };
  for (const state_case& c : cases) {
    std::vector<std::vector<uint8_t>> frames;
    for (int k = 0; k < c.frames; ++k) frames.push_back(shifted(kW, c.height, k == 1 ? c.shift : 0, 0));
    load(kW, c.height, frames, sweep(static_cast<size_t>(c.frames)));
    resource_table_t& t = *resource_table;
    t.RES_POS_REC->write(c.positions);
    t.RES_IN_SCRIPT->write(c.in_script);
    t.RES_SCRIPT_WRITE_MESSAGE->write(wxString("none"));
    scripted_ui ui;
    ui.cancel_at = c.cancel_at;
    ui.answer = c.answer;
    data_ui_scope scope(ui);
    {
      image_correlation run(c.progress, false);
      EXPECT_EQ(ui.open_progress, c.progress ? 1 : 0) << c.what;
      if (c.progress) EXPECT_EQ(ui.captions.at(0), "Correcting positions from image data\n");
      for (int k = 0; k < c.frames; ++k) EXPECT_EQ(run.correct_frame(k), c.added[k]) << c.what << " frame " << k;
      if (c.cancel_at >= 0) EXPECT_EQ(ui.updates.back(), c.cancel_at) << c.what;  // no frame after it
      double p = -1, q = -1;
      EXPECT_EQ(run.finish_correction(p, q), c.finished) << c.what;
      EXPECT_EQ(run.valid, c.finished) << c.what;
      EXPECT_EQ(run.failure().empty(), c.finished) << c.what << ": " << run.failure();
      EXPECT_EQ(!ui.questions.empty(), c.asked) << c.what;
      if (c.asked) {
        // A pure shift moves every corner alike: the positions figure in mm.
        EXPECT_NEAR(p, c.shift * 0.05, 0.01) << c.what;
        EXPECT_TRUE(ui.questions[0].StartsWith(
            wxString::Format("Maximum movement of data is:\n %.2lf mm due to positions.\n\n", p * 10)))
            << ui.questions[0];
      }
      const wxString line = t.RES_SCRIPT_WRITE_MESSAGE->read();
      EXPECT_EQ(line.StartsWith("WARNING "), c.warned) << c.what << ": " << line;
      if (c.warned) EXPECT_TRUE(line.EndsWith(run.failure())) << line;
      // The dialog closes after the last frame only when the run finished;
      // a cancelled one stays until the run goes.
      if (c.progress) EXPECT_EQ(ui.open_progress, c.cancel_at >= 0 || c.frames == 1 ? 1 : 0) << c.what;
      EXPECT_EQ(run.apply_correction(), c.finished) << c.what;
    }
    EXPECT_EQ(ui.open_progress, 0) << c.what;
  }
}

// Accepting a run: frame positions become the corrected ones; in a pressure
// run images and contours move with their rows; data and spine landmarks on
// a frame follow it, other kinds and landmarks off every frame stay.
TEST_F(CorrectionRun, AcceptingWritesPositionsImagesContoursAndLandmarks) {
  constexpr int32_t w = 8, h = 40;
  for (bool pressure : {true, false}) {
    auto value = [](int c, int r) { return static_cast<uint8_t>(1 + 5 * r + c); };
    std::vector<std::vector<uint8_t>> frames(3, std::vector<uint8_t>(w * h));
    for (int k = 0; k < 3; ++k)
      for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) frames[k][r * w + c] = value(c, r);
    load(w, h, frames, sweep(3));
    // Frame 2 holds 16-bit raw values.
    auto* raw = new uint16_t[w * h];
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) raw[r * w + c] = static_cast<uint16_t>(1000 + 10 * r + c);
    auto* display = new uint8_t[w * h];
    std::copy(frames[2].begin(), frames[2].end(), display);
    frame_store->images[2] = frame_image_t::create(display, raw, w * h);

    resource_table_t& t = *resource_table;
    contour_object* objects = t.RES_OBJECT->read();
    contour_t on1, on0;
    on1.closed = on0.closed = true;
    on1.vertices = {{5, 20.2}, {6, 10.0}, {7, 38.6}};
    on0.vertices = {{1, 20.2}, {2, 30.0}, {3, 5.0}};
    objects[0].add_contour(1, on1);
    objects[1].add_contour(0, on0);
    landmarks& marks = *t.RES_LANDMARKS->read();
    marks.items.clear();
    auto add = [&](double x, double y, double z, int32_t kind) {
      landmark_t l;
      l.x = x, l.y = y, l.z = z, l.kind = kind;
      marks.items.push_back(l);
    };
    add(1.0, 1.0, 0.11, LM_DATA);      // 0.2 pixels off frame 1
    add(1.0, 1.0, 0.11, LM_FIDUCIAL);  // the same place, another kind
    add(1.0, 1.0, 0.11, LM_SURFACE);
    add(1.0, 1.0, 0.05, LM_DATA);      // a pixel from frames 0 and 1
    add(2.0, 0.5, 0.2, LM_SPINE);      // on frame 2
    const int32_t cont = t.CONT->counter(), lm = t.LANDMARK->counter();

    auto run = std::make_unique<image_correlation>(false, pressure);
    for (int k = 0; k < 3; ++k) {
      correlation_frame_t r;
      ASSERT_TRUE(run->start_record(k, r));
      const float dx = k == 1 ? 0.3f : k == 2 ? -0.1f : 0.0f;
      r.corrected_position[0] += dx;
      matrix4_t shift;
      matrix4_translation(shift, dx, 0, 0);
      matrix4_multiply(shift, r.corrected_pose, r.recorded_pose);
      if (pressure && k > 0)
        for (int j = 0; j < h; ++j) r.row_offsets[j] = j == 10 ? 0.0f : 3.0f;  // every row from 3 below
      run->finished.push_back(std::move(r));
    }
    ASSERT_TRUE(run->apply_correction());

    EXPECT_FLOAT_EQ(frame_store->positions[0]->x, 0.0f);
    EXPECT_FLOAT_EQ(frame_store->positions[1]->x, 0.3f);
    EXPECT_FLOAT_EQ(frame_store->positions[2]->x, -0.1f);
    EXPECT_FLOAT_EQ(frame_store->positions[1]->z, 0.1f);

    // Output row j from source row j + 3, row 10 staying, rows whose source
    // lies beyond the last row empty; the last row itself is a source.
    auto source_row = [&](int j) { return !pressure || j == 10 ? j : j + 3 <= h - 1 ? j + 3 : -1; };
    const uint8_t* px0 = frame_store->images[0]->display;
    const uint8_t* px1 = frame_store->images[1]->display;
    const uint16_t* raw2 = frame_store->images[2]->raw;
    for (int j = 0; j < h; ++j)
      for (int c = 0; c < w; ++c) {
        ASSERT_EQ(px0[j * w + c], value(c, j));
        const int s = source_row(j);
        ASSERT_EQ(px1[j * w + c], s < 0 ? 0 : value(c, s)) << "pressure " << pressure << " row " << j;
        ASSERT_EQ(raw2[j * w + c], s < 0 ? 0 : 1000 + 10 * s + c) << "pressure " << pressure << " row " << j;
      }

    const std::vector<vec2_t>& v1 = objects[0].frames.front().contours[0].vertices;
    EXPECT_DOUBLE_EQ(v1[0].y, pressure ? 17.2 : 20.2);
    EXPECT_DOUBLE_EQ(v1[1].y, 10.0);
    EXPECT_DOUBLE_EQ(v1[2].y, pressure ? 35.6 : 38.6);
    EXPECT_DOUBLE_EQ(v1[0].x, 5.0);
    EXPECT_DOUBLE_EQ(objects[1].frames.front().contours[0].vertices[0].y, 20.2);  // frame 0 has no offsets
    EXPECT_EQ(objects[0].frames.front().area, -1.0);
    EXPECT_EQ(objects[0].volume, -1.0);
    EXPECT_EQ(objects[2].volume, 0.0);  // no contours: left alone
    EXPECT_EQ(t.CONT->counter() != cont, pressure);

    // The data landmark snaps onto frame 1 and moves with it: row 20 came
    // from row 23, so it goes up 3 rows in a pressure run.
    EXPECT_NEAR(marks[0].x, 1.3, 1e-6);
    EXPECT_NEAR(marks[0].y, pressure ? 0.85 : 1.0, 1e-6);
    EXPECT_NEAR(marks[0].z, 0.1, 1e-6);
    for (size_t i : {1, 2}) {
      EXPECT_DOUBLE_EQ(marks[i].x, 1.0) << i;
      EXPECT_DOUBLE_EQ(marks[i].z, 0.11) << i;
    }
    EXPECT_DOUBLE_EQ(marks[3].x, 1.0);
    EXPECT_DOUBLE_EQ(marks[3].z, 0.05);
    EXPECT_NEAR(marks[4].x, 1.9, 1e-6);
    EXPECT_NEAR(marks[4].y, 0.5, 1e-6);  // row 10 stays
    EXPECT_NE(t.LANDMARK->counter(), lm);

    EXPECT_TRUE(t.RES_CORRECTED_POS->read());
    EXPECT_EQ(t.RES_CORRECTED_PRESSURE->read(), pressure);
    run.reset();
    objects[0].reset();
    objects[1].reset();
    t.RES_CORRECTED_POS->write(false);
    t.RES_CORRECTED_PRESSURE->write(false);
  }
}

}  // namespace
