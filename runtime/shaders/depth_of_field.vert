#version 130
// A view-filling pass: one quad whose two-component positions are already
// in normalised device coordinates.
in vec3 position;

void main() { gl_Position = vec4(position.xy, 0.0, 1.0); }
