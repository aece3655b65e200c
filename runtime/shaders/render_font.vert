#version 130
// Text of the texture fonts: positions are already in normalised device
// coordinates, attribute 1 carries the atlas coordinates.
in vec3 position;
in vec2 normal;
out vec2 atlas_coord;

void main() {
  atlas_coord = normal;
  gl_Position = vec4(position, 1.0);
}
