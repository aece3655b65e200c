// Tearing the table down frees every object its resources hold, exactly once
// (the address-sanitizer build of this program checks for leaks and double
// frees), and leaves the registry ready for another table.
#include <vector>

#include "data/curves.h"
#include "data/landmarks.h"
#include "data/objects.h"
#include "data/reslice_info.h"
#include "segmentation/image_correlation.h"
#include "surfaces/surface_interp.h"
#include "test_table_fixture.h"
#include "views/panorama_internals.h"
#include "views/reslice_internals.h"

namespace {

using Teardown = TableTest;

TEST_F(Teardown, FreesHeldObjectsBuildersAndSurfaces) {
  // Builders on two planes, surfaces on a user object and on the shape model.
  new reslice_internals(0, 0, 0);
  new reslice_internals(2, 300, 200);
  EXPECT_EQ(t().RESLICE->read()[2].width, 300);
  t().RES_SURFACE[3]->write(new surface_interp);
  t().RES_SURFACE[200]->write(new surface_interp);
  t().RES_PANORAMA->write(new panorama_internals(false));
  t().RES_CORRELATION->write(new image_correlation(false, false));

  // Data in the held lists.
  t().RES_COMMENT->read()->push_back("a comment");
  t().RES_DICOM_FRAME_LIST->read()->push_back(7);
  t().RES_LANDMARKS->read()->add_landmark({1, 2, 3}, "Fiducial one", LM_FIDUCIAL);
  t().RES_CURVE->read()->curves.emplace_back();
  contour_t square;
  square.vertices = {{0, 0}, {4, 0}, {4, 4}};
  square.closed = true;
  t().RES_OBJECT->read()[5].add_contour(0, square);
  EXPECT_FALSE(t().RES_OBJECT->read()[5].empty());

  // A surface replaced but not yet committed: the writer freed the old one,
  // so the pending value is what the registry holds.
  surface_interp* replaced = t().RES_SURFACE[4]->read();
  EXPECT_EQ(replaced, nullptr);
  t().RES_SURFACE[4]->write_no_changeprocs(new surface_interp);

  restart();
  EXPECT_EQ(t().RES_SURFACE[3]->read(), nullptr);
  EXPECT_TRUE(t().RES_COMMENT->read()->empty());
  EXPECT_EQ(t().RESLICE->read()[0].builder, nullptr);
}

TEST_F(Teardown, ClearsTheGlobalPointerOfTheTableItDestroys) {
  ASSERT_EQ(resource_table, table_);
  delete table_;
  table_ = nullptr;
  EXPECT_EQ(resource_table, nullptr);
  EXPECT_EQ(base_res_t::first_resource(), nullptr);
  EXPECT_EQ(base_res_t::find("RES_BUF_WIDTH"), nullptr);
}

}  // namespace
