#version 130
uniform bool depth_peeling;
uniform bool radiant_shadows;
uniform bool ambient_occlusion;
uniform sampler2D texdepth0;   // depth of the opaque scene
uniform sampler2D texdepth1;   // depth of the layer peeled last
uniform sampler2D texshadow;   // radiant-shadow factor per pixel
uniform sampler2D texambient;  // ambient-occlusion factor per pixel
in vec4 diffuse_colour;
in vec4 ambient_colour;
out vec4 fragment_colour;

void main() {
  ivec2 p = ivec2(gl_FragCoord.xy);
  if (depth_peeling) {
    // Keep the layer in front of the opaque scene, behind the one peeled last.
    if (gl_FragCoord.z >= texelFetch(texdepth0, p, 0).r) discard;
    if (gl_FragCoord.z <= texelFetch(texdepth1, p, 0).r) discard;
  }
  vec3 diffuse = diffuse_colour.rgb;
  vec3 ambient = ambient_colour.rgb;
  if (radiant_shadows) diffuse *= texelFetch(texshadow, p, 0).r;
  if (ambient_occlusion) ambient *= texelFetch(texambient, p, 0).r;
  vec3 c = diffuse + ambient;
  float a = diffuse_colour.a;
  // A peeled layer: premultiplied colour, transmittance in alpha.
  fragment_colour = depth_peeling ? vec4(clamp(c, 0.0, 1.0) * a, 1.0 - a) : vec4(c, a);
}
