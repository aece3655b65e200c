#version 130
uniform bool depth_peeling;
uniform vec4 surface_colour;
uniform sampler2D texsurface;
uniform sampler2D texdepth0;  // depth of the layer peeled last
uniform sampler2D texdepth1;  // depth of the opaque scene
in vec2 texture_coord;
out vec4 fragment_colour;

void main() {
  if (depth_peeling) {
    ivec2 p = ivec2(gl_FragCoord.xy);
    if (gl_FragCoord.z <= texelFetch(texdepth0, p, 0).r) discard;
    if (gl_FragCoord.z >= texelFetch(texdepth1, p, 0).r) discard;
  }
  fragment_colour = surface_colour * texture(texsurface, texture_coord);
}
