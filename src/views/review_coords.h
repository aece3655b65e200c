// Between pixels of the current frame and world points (centimetres): the
// image-plane calibration C (RES_XTRANS .. RES_ROLL) and the frame's recorded
// probe position P. A pixel (x, y) lies at P C (x sx, y sy, 0).
#pragma once

#include "data/dynabuf.h"
#include "data/geometry.h"

struct image_calibration_t {
  double x = 0.0, y = 0.0, z = 0.0;
  double azimuth = 0.0, elevation = 0.0, roll = 0.0;
  double xscale = 1.0, yscale = 1.0;  // centimetres per pixel
};

// M = P C and its inverse.
matrix4_t frame_to_world_matrix(const image_calibration_t& c, const position_t& p);
matrix4_t world_to_frame_matrix(const image_calibration_t& c, const position_t& p);

// World point of frame pixel (px, py).
vec3_t frame_pixel_to_world(const image_calibration_t& c, const position_t& p, double px, double py);
// Frame pixels across and down, and the signed distance from the frame plane in cm.
vec3_t world_to_frame_pixel(const image_calibration_t& c, const position_t& p, const vec3_t& w);

// The same over the loaded data, for the current frame (RES_BUF_CURRENT_FRAME);
// each returns false and writes nothing when the data have no positions
// (RES_POS_REC false), no frames, or the current frame has no position record.
image_calibration_t calibration_from_resources();
bool current_frame_position(position_ref& out);
bool frame_to_world(const double pixel[2], double out[3]);
bool world_to_frame(const double* points, double* out, int count);
// T = C^-1 P^-1: world (cm) to the current frame's plane in cm.
bool current_frame_transform(matrix4_t& t);
