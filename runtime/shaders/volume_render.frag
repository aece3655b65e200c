#version 130
// Volume rendering by slices drawn back to front. A sample's value picks its
// colour and opacity from the transfer function; where the gradient is
// strong enough it is shaded as a surface with the gradient as its normal.
// With RADIANT_SHADOWS the light reaching it comes from the light textures of
// lights 1 and 2, with OPAQUE_SHADOWS also from the opaque surfaces' shadow.
uniform int interpolation;          // 0 nearest sample, else trilinear
uniform float slice_skip;           // slices merged into this one
uniform float slice_steps;          // slices across the volume
uniform vec4 lighting;              // light 1 diffuse, light 2 diffuse, specular, ambient
uniform vec3 light1_direction;      // towards the lights, volume coordinates
uniform vec3 light2_direction;
uniform vec3 gradient_x;            // one voxel along each axis
uniform vec3 gradient_y;
uniform vec3 gradient_z;
uniform float gradient_threshold;   // weakest gradient that is shaded
uniform float gradient_clarity;     // opacity gained per unit of gradient
uniform float wetness;              // strength of the highlight
uniform bool no_shade_opaque;       // fully opaque samples keep their colour
uniform vec3 pz;                    // towards the viewer, volume coordinates
uniform int occlusion;              // darken samples by the opacity in front
uniform vec3 front_planes;          // cropping box, volume coordinates
uniform vec3 back_planes;
uniform vec4 reslice_plane;         // samples on its negative side are cut away
uniform vec3 landmark;              // highlighted ellipsoid
uniform vec3 landmark_radius;
uniform sampler3D texdata;
uniform sampler2D texdepth;         // depth of the opaque scene
uniform sampler2D texmap1;          // value to colour and opacity
uniform sampler2D texmap2;          // value to opacity gain of strong edges
uniform sampler2D texmat;           // value to material (specular, shininess)
#ifdef RADIANT_SHADOWS
uniform sampler3D texlight1;
uniform sampler3D texlight2;
#endif
#ifdef OPAQUE_SHADOWS
uniform sampler3D texlight3;
#endif
in vec3 volume_coord;
out vec4 fragment_colour;

float value_at(vec3 c) {
  if (interpolation == 0) {
    ivec3 size = textureSize(texdata, 0);
    return texelFetch(texdata, clamp(ivec3(c * vec3(size)), ivec3(0), size - 1), 0).r;
  }
  return texture(texdata, c).r;
}

void main() {
  vec3 c = volume_coord;
  if (any(lessThan(c, front_planes)) || any(greaterThan(c, back_planes))) discard;
  if (reslice_plane != vec4(0.0) && dot(reslice_plane, vec4(c, 1.0)) < 0.0) discard;
  if (gl_FragCoord.z > texelFetch(texdepth, ivec2(gl_FragCoord.xy), 0).r) discard;

  float v = value_at(c);
  vec4 colour = texture(texmap1, vec2(v, 0.5));
  vec3 g = vec3(value_at(c + gradient_x) - value_at(c - gradient_x),
                value_at(c + gradient_y) - value_at(c - gradient_y),
                value_at(c + gradient_z) - value_at(c - gradient_z));
  float strength = length(g);
  colour.a = clamp(colour.a + gradient_clarity * strength * texture(texmap2, vec2(v, 0.5)).a, 0.0, 1.0);
  if (colour.a <= 0.0) discard;
  // Opacity of one slice made up for the slices it stands for.
  colour.a = 1.0 - pow(1.0 - colour.a, max(slice_skip, 1.0));

  float light1 = lighting.x;
  float light2 = lighting.y;
#ifdef RADIANT_SHADOWS
  light1 *= texture(texlight1, c).r;
  light2 *= texture(texlight2, c).r;
#endif
#ifdef OPAQUE_SHADOWS
  light1 *= texture(texlight3, c).r;
#endif
  bool shade = strength > gradient_threshold && !(no_shade_opaque && colour.a >= 1.0);
  vec3 rgb = colour.rgb;
  if (shade) {
    vec3 n = -g / strength;
    if (dot(n, pz) < 0.0) n = -n;
    vec4 material = texture(texmat, vec2(v, 0.5));
    float shininess = mix(4.0, 96.0, material.g);
    float d = light1 * max(dot(n, light1_direction), 0.0) + light2 * max(dot(n, light2_direction), 0.0);
    float s = wetness * lighting.z * material.r *
              pow(max(dot(n, normalize(light1_direction + pz)), 0.0), shininess);
    rgb = rgb * (d + lighting.w) + vec3(s * light1);
  }
  if (occlusion != 0) rgb *= 1.0 - 0.5 * clamp(slice_steps > 0.0 ? colour.a * slice_skip / slice_steps : 0.0, 0.0, 1.0);
  vec3 to_landmark = (c - landmark) / max(landmark_radius, vec3(1e-6));
  if (dot(to_landmark, to_landmark) < 1.0) rgb = mix(rgb, vec3(1.0, 0.2, 0.2), 0.5);
  fragment_colour = vec4(rgb * colour.a, colour.a);
}
