#version 130
// Depth of field: each pixel averages the pixels of a disc whose radius grows
// with the distance of its depth from the focal depth zbias.
uniform int filter_width;  // largest disc radius in pixels
uniform int filter_inc;    // step between samples in pixels
uniform float zscale;      // blur per unit of depth away from the focus
uniform float zbias;       // the focal depth
uniform sampler2D texrgba;
uniform sampler2D texdepth;
out vec4 fragment_colour;

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  ivec2 last = textureSize(texrgba, 0) - 1;
  float blur = clamp(abs(texelFetch(texdepth, p, 0).r - zbias) * zscale, 0.0, 1.0);
  int width = clamp(filter_width, 0, 32);
  int stride = max(filter_inc, 1);
  float radius = blur * float(width);
  vec4 sum = vec4(0.0);
  float weight = 0.0;
  for (int dy = -width; dy <= width; dy += stride) {
    for (int dx = -width; dx <= width; dx += stride) {
      if (length(vec2(dx, dy)) > radius && (dx != 0 || dy != 0)) continue;
      sum += texelFetch(texrgba, clamp(p + ivec2(dx, dy), ivec2(0), last), 0);
      weight += 1.0;
    }
  }
  fragment_colour = weight > 0.0 ? sum / weight : texelFetch(texrgba, p, 0);
}
