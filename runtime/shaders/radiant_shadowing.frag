#version 130
// Radiant shadows. Stage 0 takes every pixel of the scene into the light's
// view and marks it lit when nothing lies in front of it there; later stages
// smooth the marks of the stage before, accumulating them.
uniform int stage;
uniform float proj33;            // depth terms of the projection matrix
uniform float proj34;
uniform mat4 mvp_inv_mvp;        // from the view's clip space to the light's
uniform vec2 depth_tolerance;    // constant and per-unit-depth tolerance
uniform sampler2D texdepth1;     // scene depth seen from the viewer
uniform sampler2D texdepth2;     // scene depth seen from the light
uniform sampler2D texdepth3;     // accumulated result
uniform sampler2D texrgba;       // result of the previous stage
out vec4 fragment_colour;

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  vec2 size = vec2(textureSize(texdepth1, 0));
  if (stage == 0) {
    float depth = texelFetch(texdepth1, p, 0).r;
    if (depth >= 1.0) {
      fragment_colour = vec4(1.0);
      return;
    }
    vec3 ndc = vec3(gl_FragCoord.xy / size, depth) * 2.0 - 1.0;
    vec4 q = mvp_inv_mvp * vec4(ndc, 1.0);
    q /= q.w;
    vec3 light = q.xyz * 0.5 + 0.5;
    float eye_depth = proj34 / (ndc.z + proj33);
    float tolerance = depth_tolerance.x + depth_tolerance.y * abs(eye_depth);
    float blocker = texture(texdepth2, light.xy).r;
    float lit = light.z <= blocker + tolerance ? 1.0 : 0.0;
    fragment_colour = vec4(lit, lit, lit, 1.0);
  } else {
    float sum = 0.0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        sum += texelFetch(texrgba, clamp(p + ivec2(dx, dy), ivec2(0), ivec2(size) - 1), 0).r;
    float smooth_lit = sum / 9.0;
    float before = texelFetch(texdepth3, p, 0).r;
    float v = min(smooth_lit, before);
    fragment_colour = vec4(v, v, v, 1.0);
  }
}
