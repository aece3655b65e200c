#version 130
// Diffuse Gouraud: light 1 and the head light at the viewer evaluated per
// vertex, both sides of a surface lit alike (surfaces are seen from inside).
uniform mat4 modelview_matrix;
uniform mat4 modelviewproj_matrix;
uniform vec4 lighting;          // light 1 diffuse, head light diffuse, specular, ambient
uniform vec3 light1_direction;  // towards light 1, eye coordinates
#ifndef VARYING_COL
uniform vec4 surface_diffuse;
#endif
in vec3 position;
in vec3 normal;
#ifdef VARYING_COL
in vec4 colour;
#endif
out vec4 diffuse_colour;
out vec4 ambient_colour;

void main() {
#ifdef VARYING_COL
  vec4 base = colour;
#else
  vec4 base = surface_diffuse;
#endif
  vec3 n = mat3(modelview_matrix) * normal;
  float len = length(n);
  n = len > 0.0 ? n / len : vec3(0.0, 0.0, 1.0);
  float d = lighting.x * abs(dot(n, light1_direction)) + lighting.y * abs(n.z);
  diffuse_colour = vec4(base.rgb * d, base.a);
  ambient_colour = vec4(base.rgb * lighting.w, 0.0);
  gl_Position = modelviewproj_matrix * vec4(position, 1.0);
}
