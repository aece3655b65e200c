#version 130
uniform bool depth_peeling;
uniform vec4 surface_colour;
uniform sampler2D texsurface;
uniform sampler2D texdepth0;  // depth of the opaque scene
uniform sampler2D texdepth1;  // depth of the layer peeled last
in vec2 texture_coord;
out vec4 fragment_colour;

void main() {
  if (depth_peeling) {
    ivec2 p = ivec2(gl_FragCoord.xy);
    if (gl_FragCoord.z >= texelFetch(texdepth0, p, 0).r) discard;
    if (gl_FragCoord.z <= texelFetch(texdepth1, p, 0).r) discard;
  }
  vec4 texel = texture(texsurface, texture_coord);
  // Texels without data are holes, also where a peeled layer's alpha is
  // its transmittance.
  if (texel.a <= 0.0) discard;
  vec4 c = surface_colour * texel;
  fragment_colour = depth_peeling ? vec4(c.rgb * c.a, 1.0 - c.a) : c;
}
