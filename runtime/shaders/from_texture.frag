#version 130
// Copies a colour and a depth texture into the view. update_rgba: 0 no
// colour texture, 1 the colour as stored, 2 an accumulation of peeled layers
// (premultiplied colour, transmittance in alpha) as premultiplied colour with
// its opacity; update_depth: the depth texture sets the fragments' depth.
uniform vec2 viewsize;
uniform int update_rgba;
uniform bool update_depth;
uniform sampler2D texrgba;
uniform sampler2D texdepth;
out vec4 fragment_colour;

void main() {
  vec2 uv = gl_FragCoord.xy / max(viewsize, vec2(1.0));
  vec4 c = vec4(0.0);
  if (update_rgba != 0) c = texture(texrgba, uv);
  if (update_rgba == 2) c.a = 1.0 - c.a;
  fragment_colour = c;
  gl_FragDepth = update_depth ? texture(texdepth, uv).r : gl_FragCoord.z;
}
