#version 130
// Per-fragment lighting: eye-space position and normal handed on.
uniform mat4 modelview_matrix;
uniform mat4 modelviewproj_matrix;
in vec3 position;
in vec3 normal;
#ifdef VARYING_COL
in vec4 colour;
out vec4 vertex_colour;
#endif
out vec3 eye_position;
out vec3 eye_normal;

void main() {
#ifdef VARYING_COL
  vertex_colour = colour;
#endif
  eye_position = (modelview_matrix * vec4(position, 1.0)).xyz;
  eye_normal = mat3(modelview_matrix) * normal;
  gl_Position = modelviewproj_matrix * vec4(position, 1.0);
}
