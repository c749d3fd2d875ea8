#version 120
// Finale: a slow drift past a ringed planet in front of a nebula and a dense starfield.
// Calm and dark enough to carry the logo that appears over it.
uniform vec2 resolution;
uniform float time;

varying vec2 uv;


float hash21(vec2 p)
{
    vec3 p3 = fract(vec3(p.xyx) * 0.1031);
    p3 += dot(p3, p3.yzx + 33.33);
    return fract((p3.x + p3.y) * p3.z);
}

float noise(vec2 p)
{
    vec2 i = floor(p);
    vec2 f = fract(p);
    vec2 u = f * f * (3.0 - 2.0 * f);
    return mix(mix(hash21(i), hash21(i + vec2(1.0, 0.0)), u.x),
               mix(hash21(i + vec2(0.0, 1.0)), hash21(i + vec2(1.0, 1.0)), u.x), u.y);
}

float fbm(vec2 p)
{
    float s = 0.0;
    float a = 0.5;
    for (int i = 0; i < 5; i++) {
        s += a * noise(p);
        p = mat2(1.6, 1.2, -1.2, 1.6) * p;
        a *= 0.5;
    }
    return s;
}

vec3 stars(vec2 p)
{
    vec3 col = vec3(0.0);
    for (int l = 0; l < 2; l++) {
        float sc = 90.0 + 130.0 * float(l);
        vec2 g = p * sc;
        vec2 c = floor(g);
        vec2 f = fract(g) - 0.5;
        float h = hash21(c + float(l) * 19.0);
        vec2 o = vec2(hash21(c + 3.1), hash21(c + 7.3)) - 0.5;
        float d = length(f - o * 0.7);
        float b = step(0.93, h) * exp(-d * d * 90.0) * (0.6 + 0.4 * sin(time * 1.5 + h * 60.0));
        col += mix(vec3(0.7, 0.8, 1.0), vec3(1.0, 0.85, 0.6), hash21(c + 1.7)) * b * (1.5 - float(l) * 0.6);
    }
    return col;
}

void main()
{
    float lt = time - SLOT_START;
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;
    vec2 drift = vec2(lt * 0.006, lt * 0.002);

    // Nebula: two layers of warped noise in teal and rose.
    vec2 q = p * 1.3 + drift;
    vec2 w = vec2(fbm(q + vec2(0.0, lt * 0.01)), fbm(q + vec2(5.2, 1.3)));
    float n1 = fbm(q + 2.0 * w);
    float n2 = fbm(q * 1.7 - w + 3.0);
    vec3 col = vec3(0.004, 0.005, 0.012);
    col += vec3(0.1, 0.35, 0.45) * pow(n1, 3.0) * 1.4;
    col += vec3(0.55, 0.15, 0.3) * pow(n2, 4.0) * 1.6;
    // Dark dust lanes.
    col *= 0.4 + 0.6 * smoothstep(0.25, 0.6, fbm(q * 2.3 + 7.0));
    col += stars(p + drift * 0.5) * (1.0 - 0.6 * n1);

    // Planet: lit sphere in the lower right with atmosphere and rings.
    vec2 pc = vec2(0.85 - lt * 0.004, -0.55 + lt * 0.003);
    float pr = 0.75;
    vec2 d = (p - pc) / pr;
    float r2 = dot(d, d);
    vec3 sun = normalize(vec3(-0.8, 0.45, 0.4));

    // Ring plane, tilted; drawn behind and in front of the planet.
    vec2 rp = vec2(d.x * 0.96 + d.y * 0.28, (-d.x * 0.28 + d.y * 0.96) * 4.2);
    float rr = length(rp);
    float band = smoothstep(1.35, 1.4, rr) * smoothstep(2.3, 2.2, rr);
    float bands = 0.55 + 0.45 * sin(rr * 40.0) * sin(rr * 13.0 + 1.0);
    vec3 ringCol = vec3(0.85, 0.72, 0.55) * band * bands * 0.6;
    bool front = rp.y < 0.0;
    if (!front) col = mix(col, ringCol, band * 0.85);

    if (r2 < 1.0) {
        vec3 n = vec3(d, sqrt(1.0 - r2));
        float dif = max(dot(n, sun), 0.0);
        // Banded gas giant surface, slowly turning.
        float lat = n.y;
        float lon = atan(n.x, n.z) + lt * 0.03;
        float bandsP = fbm(vec2(lon * 1.5, lat * 12.0)) + 0.4 * sin(lat * 25.0 + fbm(vec2(lon * 3.0, lat * 6.0)) * 3.0);
        vec3 alb = mix(vec3(0.55, 0.35, 0.25), vec3(0.85, 0.75, 0.6), bandsP);
        // Ring shadow across the planet.
        float shadow = 1.0 - 0.6 * smoothstep(1.35, 1.4, length(vec2(n.x * 0.96 + n.y * 0.28 + 0.25, (-n.x * 0.28 + n.y * 0.96) * 4.2 + 0.4))) * smoothstep(2.3, 2.2, length(vec2(n.x * 0.96 + n.y * 0.28 + 0.25, (-n.x * 0.28 + n.y * 0.96) * 4.2 + 0.4)));
        vec3 pcol = alb * dif * 1.6 * shadow + alb * 0.015;
        float rim = pow(1.0 - n.z, 3.0);
        pcol += vec3(0.3, 0.55, 1.0) * rim * (0.3 + dif) * 0.8;
        col = pcol;
    }
    // Atmosphere halo outside the limb, brighter on the sunlit side.
    float halo = exp(-max(sqrt(r2) - 1.0, 0.0) * 14.0) * step(1.0, r2);
    col += vec3(0.3, 0.55, 1.0) * halo * (0.2 + 0.8 * max(dot(normalize(vec3(d, 0.0001)), sun), 0.0)) * 0.7;
    if (front) col = mix(col, ringCol, band * 0.85);

    gl_FragColor = vec4(col, 1.0);
}
