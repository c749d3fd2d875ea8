#version 120
// The finale: a calm lavender haze with slow, soft waves of light, quiet enough to carry the
// logo the post program lays over it at the logo mark.
uniform vec2 resolution;
uniform float time;

varying vec2 uv;

#ifndef SLOT_START
#define SLOT_START 0.0
#define SLOT_END 10.0
#endif

void main()
{
    float lt = time - SLOT_START;
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;
    vec3 col = mix(vec3(0.78, 0.72, 0.92), vec3(0.45, 0.38, 0.62), uv.y);
    float w = sin(p.x * 2.5 + lt * 0.4 + 1.5 * sin(p.y * 2.0 - lt * 0.3));
    col += vec3(0.1, 0.08, 0.12) * w;

    gl_FragColor = vec4(col, 1.0);
}
