#version 120
// Stripes: diagonal bands of sea green and ice blue that sway and slide.
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
    float s = sin((p.x + 0.5 * p.y) * 10.0 + lt * 2.0 + 1.5 * sin(p.y * 3.0 + lt));
    vec3 col = mix(vec3(0.05, 0.45, 0.5), vec3(0.55, 0.95, 0.95), smoothstep(-0.3, 0.3, s));
    col *= 0.85 + 0.15 * p.y;

    gl_FragColor = vec4(col, 1.0);
}
