#version 130
uniform vec4 lighting;          // light 1 diffuse, head light diffuse, specular, ambient
uniform vec3 light1_direction;  // towards light 1, eye coordinates
uniform bool depth_peeling;
uniform bool radiant_shadows;
uniform bool ambient_occlusion;
#ifndef VARYING_COL
uniform vec4 surface_diffuse;
#else
in vec4 vertex_colour;
#endif
uniform vec3 surface_material;  // roughness, metallic, anisotropy, each 0 to 1
uniform sampler2D texdepth0;    // depth of the opaque scene
uniform sampler2D texdepth1;    // depth of the layer peeled last
uniform sampler2D texshadow;    // radiant-shadow factor per pixel
uniform sampler2D texambient;   // ambient-occlusion factor per pixel
in vec3 eye_position;
in vec3 eye_normal;
out vec4 fragment_colour;

vec4 base_colour() {
#ifdef VARYING_COL
  return vertex_colour;
#else
  return surface_diffuse;
#endif
}

// False for fragments outside the layer being peeled: a layer lies in front
// of the opaque scene and behind the layer peeled before it.
bool in_layer(ivec2 p) {
  if (!depth_peeling) return true;
  return gl_FragCoord.z < texelFetch(texdepth0, p, 0).r && gl_FragCoord.z > texelFetch(texdepth1, p, 0).r;
}

// A peeled layer carries premultiplied colour and its transmittance, which
// the view's blending accumulates front to back.
vec4 layer_output(vec3 c, float alpha) {
  if (!depth_peeling) return vec4(c, alpha);
  return vec4(clamp(c, 0.0, 1.0) * alpha, 1.0 - alpha);
}

// The normal facing the viewer, so that inner sides are lit as well.
vec3 facing_normal() {
  vec3 n = eye_normal;
  float len = length(n);
  n = len > 0.0 ? n / len : vec3(0.0, 0.0, 1.0);
  return gl_FrontFacing ? n : -n;
}

vec3 view_direction() {
  float len = length(eye_position);
  return len > 0.0 ? -eye_position / len : vec3(0.0, 0.0, 1.0);
}

float shadow_factor(ivec2 p) { return radiant_shadows ? texelFetch(texshadow, p, 0).r : 1.0; }
float ambient_factor(ivec2 p) { return ambient_occlusion ? texelFetch(texambient, p, 0).r : 1.0; }

// Standard Phong (Blinn half vectors): the surface's roughness widens the
// highlight and its metallic value tints it with the surface colour.
float highlight(vec3 n, vec3 l, vec3 v, float shininess) {
  if (dot(n, l) <= 0.0) return 0.0;
  return pow(max(dot(n, normalize(l + v)), 0.0), shininess);
}

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  if (!in_layer(p)) discard;
  vec4 base = base_colour();
  vec3 n = facing_normal();
  vec3 v = view_direction();
  float shininess = mix(64.0, 4.0, clamp(surface_material.x, 0.0, 1.0));
  vec3 tint = mix(vec3(1.0), base.rgb, clamp(surface_material.y, 0.0, 1.0));
  float shadow = shadow_factor(p);
  float diffuse = lighting.x * max(dot(n, light1_direction), 0.0) * shadow + lighting.y * max(dot(n, v), 0.0);
  float specular = lighting.z * (highlight(n, light1_direction, v, shininess) * shadow + highlight(n, v, v, shininess));
  vec3 c = base.rgb * (diffuse + lighting.w * ambient_factor(p)) + tint * specular;
  fragment_colour = layer_output(c, base.a);
}
