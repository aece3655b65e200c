#version 130
// The 3D view's background: a quad behind the scene in eye coordinates.
uniform mat4 projection_matrix;
in vec3 position;
out vec3 eye_position;

void main() {
  eye_position = position;
  gl_Position = projection_matrix * vec4(position, 1.0);
}
