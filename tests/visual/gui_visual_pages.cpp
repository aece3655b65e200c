// The Reslice, Ortho and Thickness display pages in the main window, driven
// through the command table with the events their controls send.
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/notebook.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include "app/app_test_main.h"
#include "app/main_frame.h"
#include "common/wx_events.h"
#include "data/data_reset.h"
#include "data/dynabuf.h"
#include "data/native_file.h"
#include "data/objects.h"
#include "registry/resource_table.h"
#include "surfaces/surface_interp.h"
#include "views/reslice_internals.h"
#include "visual/ortho_page.h"
#include "visual/reslice_page.h"
#include "visual/thickness_display_page.h"
#include "visual/visual_ids.h"
#include "visual/visual_pages.h"

extern std::string g_pages_root;

namespace {

void choose(int page) {
  main_frame->visual_notebook->SetSelection(page);
  pump_events(3);
}

// Frames put straight into the frame store, 0.1 cm apart along z, emptied
// again at the end of the scope.
struct loaded_stack {
  loaded_stack(int frames, int w, int h, double s) {
    resource_table_t& t = *resource_table;
    for (int k = 0; k < frames; ++k) {
      position_t p;
      p.z = static_cast<float>(0.1 * k);
      frame_store->positions.push_back(position_holder_t::create(p));
      frame_store->timestamps.push_back(0);
      auto* pixels = new uint8_t[static_cast<size_t>(w) * h];
      for (int i = 0; i < w * h; ++i) pixels[i] = static_cast<uint8_t>(1 + (i * 7 + k * 31) % 250);
      frame_store->add_image(frame_image_t::create(pixels, w * h));
    }
    t.RES_BUF_WIDTH->write(w);
    t.RES_BUF_HEIGHT->write(h);
    t.RES_FRAME_SIZE->write(w * h);
    t.RES_XSCALE->write(s);
    t.RES_YSCALE->write(s);
    t.RES_POS_REC->write(true);
    t.RES_BUF_FRAMES->write(frames);
  }
  ~loaded_stack() {
    choose(0);
    clear_data();
    resource_table->RES_POS_REC->write(false);
    resource_table->RES_BUF_FRAMES->write(0);
  }
};

// A scroll event of a slider as the toolkit sends it, through the main
// window's command table.
void scroll(wxSlider* slider, wxEventType type, int position) {
  slider->SetValue(position);
  wxScrollEvent e(type, slider->GetId(), position, wxHORIZONTAL);
  e.SetEventObject(slider);
  slider->GetEventHandler()->ProcessEvent(e);
}

void choose_item(wxChoice* choice, int position) {
  choice->SetSelection(position);
  wxCommandEvent e(wxEVT_CHOICE, choice->GetId());
  e.SetEventObject(choice);
  e.SetInt(position);
  choice->GetEventHandler()->ProcessEvent(e);
}

// Counts the commits in which a resource changed.
struct change_count final : base_functor {
  explicit change_count(base_res_t* r) : res(r) { res->add_proc(this); }
  ~change_count() { res->remove_proc(this); }
  void operator()() override {
    if (res->changed_in_flush()) ++count;
  }
  base_res_t* res;
  int count = 0;
};

// 32 x 24 frames of 0.05 cm: the slab limit is 2.8 / (2 sqrt 2) = 0.98994949 cm.
constexpr int kW = 32, kH = 24;
constexpr double kScale = 0.05;

TEST(ReslicePage, ThumbDragChangesOnlyTheTextAndReleaseRebuildsOnce) {
  loaded_stack stack(6, kW, kH, kScale);
  choose(2);
  reslice_page* page = main_frame->visuals->reslice();
  reslice_info& plane = reslice_plane(0);
  reslice_internals* builder = reslice_builder_of(0);
  ASSERT_NE(builder, nullptr);
  const double before = plane.half_thickness;
  const int builds = builder->builds();
  scroll(page->thickness_slider, wxEVT_SCROLL_THUMBTRACK, 37);
  EXPECT_EQ(page->thickness_text->GetLabel(), "  0.68  ");
  scroll(page->thickness_slider, wxEVT_SCROLL_THUMBTRACK, 150);
  EXPECT_EQ(page->thickness_text->GetLabel(), " 11.14  ");
  EXPECT_EQ(plane.half_thickness, before);
  EXPECT_EQ(builder->builds(), builds);
  scroll(page->thickness_slider, wxEVT_SCROLL_THUMBRELEASE, 150);
  EXPECT_NEAR(plane.half_thickness, 0.5568465901844062, 1e-12);
  EXPECT_EQ(builder->builds(), builds + 1);
  // The width applies only when the thumb is let go, or by a click.
  scroll(page->width_slider, wxEVT_SCROLL_THUMBTRACK, 100);
  EXPECT_NE(plane.width, 100);
  scroll(page->width_slider, wxEVT_SCROLL_CHANGED, 100);
  EXPECT_EQ(plane.width, 100);
  // Not selected, the page has no builder and the slider does nothing.
  choose(0);
  scroll(page->thickness_slider, wxEVT_SCROLL_THUMBRELEASE, 60);
  EXPECT_NEAR(plane.half_thickness, 0.5568465901844062, 1e-12);
  plane.set_thickness(0.0);
}

TEST(OrthoPage, ReleaseGivesBothPlanesTheSlabRightPlaneFirstAndOpacityIsShared) {
  loaded_stack stack(6, kW, kH, kScale);
  choose(1);
  ortho_page* page = main_frame->visuals->ortho();
  std::vector<int> order;
  struct plane_log final : base_functor {
    plane_log(int k, std::vector<int>& o) : plane(k), order(o) { resource_table->redisplay_reslice(k)->add_proc(this); }
    ~plane_log() { resource_table->redisplay_reslice(plane)->remove_proc(this); }
    void operator()() override {
      if (resource_table->redisplay_reslice(plane)->changed_in_flush()) order.push_back(plane);
    }
    int plane;
    std::vector<int>& order;
  };
  {
    plane_log one(1, order), two(2, order);
    scroll(page->thickness_slider, wxEVT_SCROLL_THUMBTRACK, 60);
    EXPECT_EQ(page->thickness_text->GetLabel(), "  1.78  ");
    EXPECT_TRUE(order.empty());
    scroll(page->thickness_slider, wxEVT_SCROLL_THUMBRELEASE, 60);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
  }
  EXPECT_NEAR(reslice_plane(1).half_thickness, 0.08909545442950499, 1e-12);
  EXPECT_EQ(reslice_plane(2).half_thickness, reslice_plane(1).half_thickness);
  // Opacity from the Ortho page moves the Reslice page's slider and text.
  scroll(page->opacity_slider, wxEVT_SCROLL_THUMBTRACK, 37);
  EXPECT_DOUBLE_EQ(resource_table->RES_RESLICE_OPACITY->read(), 0.37);
  EXPECT_EQ(main_frame->visuals->reslice()->opacity_slider->GetValue(), 37);
  EXPECT_EQ(main_frame->visuals->reslice()->opacity_text->GetLabel(), "  0.37  ");
  for (int k : {1, 2}) reslice_plane(k).set_thickness(0.0);
  resource_table->RES_RESLICE_OPACITY->write(0.5);
}

TEST(CropChoice, FollowsSurfacesByObjectAndIgnoresRecolouring) {
  loaded_stack stack(6, kW, kH, kScale);
  resource_table_t& t = *resource_table;
  reslice_page* page = main_frame->visuals->reslice();
  contour_object* objects = t.RES_OBJECT->read();
  objects[3].name = "Tibia";
  objects[5].name = "Fibula";
  auto* tibia = new surface_interp(3);
  tibia->cortical_thickness = {1.0};
  t.RES_SURFACE[3]->write(tibia);
  ASSERT_EQ(page->crop->GetCount(), 3u);
  EXPECT_EQ(page->crop->GetString(1), "Tibia");
  EXPECT_EQ(page->crop->GetString(2), "(all)");
  EXPECT_EQ(page->crop->GetSelection(), 0);
  EXPECT_TRUE(page->crop->IsEnabled());
  choose_item(page->crop, 1);
  EXPECT_EQ(reslice_plane(0).crop_surface, 3);
  choose_item(main_frame->visuals->ortho()->crop, 1);
  EXPECT_EQ(reslice_plane(1).crop_surface, 3);

  // A colour-scale change recolours the surface and keeps the cropping, with
  // no volume rebuild.
  change_count volume(t.RES_UPDATE_VOLUME), surface(t.RES_SURFACE[3]);
  scroll(main_frame->visuals->thickness_display()->sliders[0], wxEVT_SCROLL_THUMBTRACK, 55);
  EXPECT_EQ(t.RES_THICKNESS_SCALE_MM->read(), 55);
  EXPECT_EQ(surface.count, 1);
  EXPECT_EQ(volume.count, 0);
  EXPECT_EQ(reslice_plane(0).crop_surface, 3);
  EXPECT_EQ(reslice_plane(1).crop_surface, 3);
  EXPECT_EQ(page->crop->GetSelection(), 1);
  pump_events(3);

  // Renaming keeps the object chosen; a new surface ends cropping.
  objects[3].name = "Shin";
  t.OBJECT->write();
  EXPECT_EQ(page->crop->GetString(page->crop->GetSelection()), "Shin");
  t.RES_SURFACE[5]->write(new surface_interp(5));
  EXPECT_EQ(page->crop->GetCount(), 4u);
  EXPECT_EQ(page->crop->GetSelection(), 0);
  EXPECT_EQ(reslice_plane(0).crop_surface, -1);
  EXPECT_EQ(reslice_plane(1).crop_surface, -1);
  EXPECT_EQ(reslice_plane(2).crop_surface, -1);
  t.RES_THICKNESS_SCALE_MM->write(40);
}

TEST(ThicknessDisplay, OneRedisplayPerFlushUnitsRelabelAndFiltersWait) {
  loaded_stack stack(3, kW, kH, kScale);
  resource_table_t& t = *resource_table;
  thickness_display_page* page = main_frame->visuals->thickness_display();
  for (int i = 4; i < 8; ++i) EXPECT_FALSE(page->sliders[i]->IsEnabled());
  main_frame->enable_thickness_display_filters(true);
  for (int i = 4; i < 8; ++i) EXPECT_TRUE(page->sliders[i]->IsEnabled());

  const int32_t raised = t.RES_REDISPLAY_THICKNESS->read();
  scroll(page->sliders[0], wxEVT_SCROLL_THUMBTRACK, 77);
  EXPECT_EQ(t.RES_REDISPLAY_THICKNESS->read(), raised + 1);
  // Smoothing recolours but is no reason to redraw the measured line.
  scroll(page->sliders[4], wxEVT_SCROLL_THUMBTRACK, 3);
  EXPECT_EQ(t.RES_THICKNESS_SMOOTH->read(), 3);
  EXPECT_EQ(t.RES_REDISPLAY_THICKNESS->read(), raised + 1);
  // Two display settings in one flush: still one raise.
  t.RES_THICKNESS_DISP_DATA->write_no_changeprocs(false);
  t.RES_THICKNESS_DISP_COL->write_no_changeprocs(5);
  base_res_t::make_pending_writes_happen();
  EXPECT_EQ(t.RES_REDISPLAY_THICKNESS->read(), raised + 2);
  EXPECT_FALSE(page->show_data->GetValue());
  EXPECT_EQ(page->colour->GetSelection(), 5);

  t.RES_DICOM_UNITS->write("GY");
  EXPECT_EQ(page->unit_labels[0]->GetLabel(), "Density range (GY) :");
  EXPECT_EQ(page->unit_labels[2]->GetLabel(), "Mass range(10x GYmm) :");
  EXPECT_EQ(page->display->GetString(1), "mass (GYmm)");
  EXPECT_EQ(page->results[0]->GetLabel(), "No optimisation performed");

  main_frame->enable_thickness_display_filters(false);
  t.RES_DICOM_UNITS->write("??");
  t.RES_THICKNESS_DISP_DATA->write(true);
  t.RES_THICKNESS_DISP_COL->write(3);
  t.RES_THICKNESS_SMOOTH->write(0);
  t.RES_THICKNESS_SCALE_MM->write(40);
}

}  // namespace

namespace {

// The RESLICE lines of a native data file.
std::vector<std::string> reslice_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("RESLICE ", 0) == 0) lines.push_back(line);
  return lines;
}

TEST(ReslicePlanes, AFileOpensAndSavesBackWithItsPlanesAndSlabsKept) {
  const std::string first = g_pages_root + "/data/planes.hm", second = g_pages_root + "/data/planes_again.hm";
  {
    loaded_stack stack(6, kW, kH, kScale);
    const double s = 1.0 / std::sqrt(2.0);
    reslice_plane(0).set_plane({s, 0.0, s}, {0.4, 0.3, 0.2}, {0.0, 1.0, 0.0}, true);
    reslice_plane(1).set_centre({0.5, 0.25, 0.125}, true);
    reslice_plane(2).set_centre({0.75, 0.5, 0.375}, true);
    // Slabs chosen on the pages: position 150 on the Reslice page, 60 on the Ortho page.
    scroll(main_frame->visuals->reslice()->thickness_slider, wxEVT_SCROLL_THUMBTRACK, 150);
    reslice_plane(0).set_thickness(0.5568465901844062);
    for (int k : {1, 2}) reslice_plane(k).set_thickness(0.08909545442950499);
    ASSERT_TRUE(save_native_file_as(wxString::FromUTF8(first), false));
  }
  const std::vector<std::string> written = reslice_lines(first);
  ASSERT_EQ(written.size(), 3u);
  ASSERT_TRUE(main_frame->try_read_halmondo_file(wxString::FromUTF8(first)));
  pump_events(3);
  EXPECT_NEAR(reslice_plane(0).half_thickness, 0.5568465901844062, 1e-12);
  EXPECT_NEAR(reslice_plane(1).half_thickness, 0.08909545442950499, 1e-12);
  EXPECT_NEAR(reslice_plane(2).half_thickness, 0.08909545442950499, 1e-12);
  // The sliders stand where those slabs are.
  EXPECT_EQ(main_frame->visuals->reslice()->thickness_slider->GetValue(), 150);
  EXPECT_EQ(main_frame->visuals->ortho()->thickness_slider->GetValue(), 60);
  ASSERT_TRUE(save_native_file_as(wxString::FromUTF8(second), false));
  EXPECT_EQ(reslice_lines(second), written);
  choose(0);
  clear_data();
  resource_table->RES_POS_REC->write(false);
  resource_table->RES_BUF_FRAMES->write(0);
  for (int k : {0, 1, 2}) reslice_plane(k).set_thickness(0.0);
}

}  // namespace
