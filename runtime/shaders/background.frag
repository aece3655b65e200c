#version 130
// Lights the background as a dome of the scene's radius facing the viewer,
// so that it brightens towards light 1 and the head light.
uniform vec4 lighting;          // light 1 diffuse, head light diffuse, specular, ambient
uniform vec3 light1_direction;  // towards light 1, eye coordinates
uniform float radius;
uniform bool radiant_shadows;
uniform vec4 surface_diffuse;   // the background colour
uniform sampler2D texshadow;
in vec3 eye_position;
out vec4 fragment_colour;

void main() {
  vec2 q = eye_position.xy / max(radius, 1e-6);
  vec3 n = normalize(vec3(-0.5 * q, 1.0));
  float light1 = lighting.x * max(dot(n, light1_direction), 0.0);
  if (radiant_shadows) light1 *= texelFetch(texshadow, ivec2(gl_FragCoord.xy), 0).r;
  float d = light1 + lighting.y * n.z + lighting.w;
  fragment_colour = vec4(surface_diffuse.rgb * d, 1.0);
}
