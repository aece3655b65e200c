#version 130
// Slices through the volume: eye-space positions, volume texture
// coordinates in attribute 1.
uniform mat4 proj_matrix;
in vec3 position;
in vec3 normal;
out vec3 volume_coord;

void main() {
  volume_coord = normal;
  gl_Position = proj_matrix * vec4(position, 1.0);
}
