#version 120
// A night sky: stars that twinkle and drift past, and a pale moon. The stars come from a hash of
// a grid of cells, so there is no star texture to load.
uniform vec2 resolution;
uniform float time;

varying vec2 uv;

#ifndef SLOT_START
#define SLOT_START 0.0
#define SLOT_END 10.0
#endif

// A pseudo-random number in [0, 1) per cell, from multiplications alone (a sine costs more).
float hash(vec2 c)
{
    vec3 h = fract(vec3(c.xyx) * 0.1031);
    h += dot(h, h.yzx + 33.33);
    return fract((h.x + h.y) * h.z);
}

void main()
{
    float lt = time - SLOT_START;
    vec3 col = mix(vec3(0.05, 0.07, 0.16), vec3(0.01, 0.02, 0.06), uv.y);

    // One star in every sixth cell of 8x8 pixels, at the cell's centre.
    vec2 g = (gl_FragCoord.xy + vec2(lt * 12.0, 0.0)) / 8.0;
    float h = hash(floor(g));
    if (h > 0.83) {
        float twinkle = 0.55 + 0.45 * sin(lt * 4.0 + h * 60.0);
        float d = length(fract(g) - 0.5);
        col += vec3(0.85, 0.9, 1.0) * twinkle * smoothstep(0.35, 0.0, d) * (h - 0.83) * 6.0;
    }

    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;
    float m = length(p - vec2(-1.0, 0.55));
    col += vec3(0.8, 0.82, 0.9) * (smoothstep(0.13, 0.12, m) * 0.8 + 0.006 / (m * m + 0.01));

    gl_FragColor = vec4(col, 1.0);
}
