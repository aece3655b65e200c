#version 130
// Unlit geometry: 3D positions (slots 8, 9) or 2D positions whose missing z
// reads as 0 (slot 10), one colour or a colour per vertex.
uniform mat4 modelviewproj_matrix;
in vec3 position;
#ifdef VARYING_COL
in vec4 colour;
out vec4 vertex_colour;
#endif

void main() {
#ifdef VARYING_COL
  vertex_colour = colour;
#endif
  gl_Position = modelviewproj_matrix * vec4(position, 1.0);
}
