#version 120
// Rings: blue waves roll out from a wandering centre that glows.
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
    p -= 0.3 * vec2(sin(lt * 0.7), cos(lt * 0.5));
    float r = length(p);

    // The rings travel outwards at 0.17 screen heights a second, crests sharpened a little.
    float wave = sin(r * 18.0 - lt * 3.0);
    vec3 col = mix(vec3(0.04, 0.12, 0.4), vec3(0.3, 0.55, 1.0), smoothstep(0.1, 0.9, wave));
    col *= 1.0 - 0.3 * r;
    col += vec3(0.5, 0.7, 1.0) * 0.03 / (r * r + 0.03);

    gl_FragColor = vec4(col, 1.0);
}
