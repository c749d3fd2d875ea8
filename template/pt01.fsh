#version 120
// Sunrise: a sun climbs out of a warm haze over a shimmering sea. The scene reads only time and
// the screen size; everything moves with the time since its slot began.
uniform vec2 resolution;
uniform float time;

varying vec2 uv;

// The build gives a scheduled scene its slot (seconds); these stand in when it has none.
#ifndef SLOT_START
#define SLOT_START 0.0
#define SLOT_END 10.0
#endif

void main()
{
    float lt = time - SLOT_START;                     // seconds into the scene
    float k = lt / (SLOT_END - SLOT_START);           // 0 ... 1 over the scene
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;  // y from -1 to 1, square pixels

    const float HORIZON = -0.3;
    vec2 sun = vec2(0.35, HORIZON - 0.1 + 0.75 * k);

    // Above the horizon the sky runs from gold into a rose dusk; below it the sea mirrors it,
    // broken into ripples that shimmer outwards.
    float y = p.y - HORIZON;
    vec2 q = p;
    if (y < 0.0) {
        q.y = HORIZON - y;
        q.x += 0.02 * sin(y * 90.0 + lt * 3.0) * (0.3 - y);
    }
    float h = clamp((q.y - HORIZON) * 0.8, 0.0, 1.0);
    vec3 col = mix(vec3(1.0, 0.6, 0.2), vec3(0.6, 0.24, 0.35), h);

    float d = length(q - sun);
    col += vec3(1.0, 0.75, 0.35) * (smoothstep(0.17, 0.15, d) + 0.02 / (d * d + 0.03));
    if (y < 0.0) col *= 0.65 + 0.15 * sin(y * 140.0 - lt * 2.0);

    gl_FragColor = vec4(col, 1.0);
}
