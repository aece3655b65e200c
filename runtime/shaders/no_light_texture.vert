#version 130
// Unlit textured geometry; attribute 1 carries the texture coordinates.
uniform mat4 modelviewproj_matrix;
in vec3 position;
in vec2 normal;
out vec2 texture_coord;

void main() {
  texture_coord = normal;
  gl_Position = modelviewproj_matrix * vec4(position, 1.0);
}
