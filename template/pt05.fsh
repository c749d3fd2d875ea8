#version 120
// Plasma: four sine fields summed and folded into golden bands. The sheet turns the post
// program's scanlines on for this scene (useEffect 1).
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
    float v = sin(p.x * 3.0 + lt) + sin(p.y * 4.0 - lt * 1.3) + sin((p.x + p.y) * 2.5 + lt * 0.7) +
              sin(length(p) * 5.0 - lt * 2.0);
    float band = 0.5 + 0.5 * sin(v * 2.5);
    vec3 col = mix(vec3(0.55, 0.4, 0.05), vec3(1.0, 0.9, 0.35), band);

    gl_FragColor = vec4(col, 1.0);
}
