#version 130
#ifdef VARYING_COL
in vec4 vertex_colour;
#else
uniform vec4 surface_colour;
#endif
out vec4 fragment_colour;

void main() {
#ifdef VARYING_COL
  fragment_colour = vertex_colour;
#else
  fragment_colour = surface_colour;
#endif
}
