#version 130
// Screen-space ambient occlusion. Stage 0 counts the neighbours within
// depth_range that lie nearer the viewer than this pixel; later stages blur
// the occlusion of the stage before.
uniform int stage;
uniform float proj33;          // depth terms of the projection matrix
uniform float proj34;
uniform float depth_range;     // eye-space depth over which neighbours occlude
uniform float current_depth;   // eye-space depth bias of this layer
uniform float filter_offset;   // sample distance in pixels
uniform float offset_scale;    // growth of the distance per ring
uniform sampler2D texred1;     // depth, or the occlusion of the stage before
uniform sampler2D texred2;
out vec4 fragment_colour;

float eye_depth(float d) { return proj34 / ((d * 2.0 - 1.0) + proj33); }

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  ivec2 last = textureSize(texred1, 0) - 1;
  if (stage == 0) {
    float d = texelFetch(texred1, p, 0).r;
    if (d >= 1.0) {
      fragment_colour = vec4(1.0);
      return;
    }
    float z = abs(eye_depth(d)) - current_depth;
    float occluded = 0.0;
    float count = 0.0;
    for (int ring = 1; ring <= 3; ++ring) {
      float r = filter_offset * (1.0 + offset_scale * float(ring - 1)) * float(ring);
      for (int k = 0; k < 8; ++k) {
        float a = float(k) * 0.78539816;
        ivec2 q = clamp(p + ivec2(r * vec2(cos(a), sin(a))), ivec2(0), last);
        float zq = abs(eye_depth(texelFetch(texred1, q, 0).r)) - current_depth;
        float nearer = z - zq;
        if (nearer > 0.0 && nearer < depth_range) occluded += 1.0;
        count += 1.0;
      }
    }
    float v = 1.0 - occluded / count;
    fragment_colour = vec4(v, v, v, 1.0);
  } else {
    float sum = 0.0;
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx)
        sum += texelFetch(texred2, clamp(p + ivec2(dx, dy), ivec2(0), last), 0).r;
    float v = sum / 25.0;
    fragment_colour = vec4(v, v, v, 1.0);
  }
}
