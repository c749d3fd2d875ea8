#version 120
// Mountain valley at sunset: a low flight over fractal ridges with lakes in the valleys,
// warm low sun, atmospheric haze and snow on the peaks.
uniform vec2 resolution;
uniform float time;

varying vec2 uv;

const float WATER = 0.0;
// The march finds the ground with the first four octaves (the shading adds the rest). They could
// add up to 1 + 1/2 + 1/4 + 1/8 before scaling (3.875), but within the march's reach of the flight
// path they rise no higher than 3.36 (sampled every 0.01): a ray climbing above PEAK meets nothing.
const int MARCH_OCTAVES = 4;
const int SHADE_OCTAVES = 8;
const float PEAK = 3.45;

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
    float a = hash21(i);
    float b = hash21(i + vec2(1.0, 0.0));
    float c = hash21(i + vec2(0.0, 1.0));
    float d = hash21(i + vec2(1.0, 1.0));
    return mix(mix(a, b, u.x), mix(c, d, u.x), u.y);
}

// Value noise with its analytic gradient.
vec3 noised(vec2 p)
{
    vec2 i = floor(p);
    vec2 f = fract(p);
    vec2 u = f * f * (3.0 - 2.0 * f);
    vec2 du = 6.0 * f * (1.0 - f);
    float a = hash21(i);
    float b = hash21(i + vec2(1.0, 0.0));
    float c = hash21(i + vec2(0.0, 1.0));
    float d = hash21(i + vec2(1.0, 1.0));
    float k1 = b - a, k2 = c - a, k4 = a - b - c + d;
    return vec3(a + k1 * u.x + k2 * u.y + k4 * u.x * u.y,
                du * vec2(k1 + k4 * u.y, k2 + k4 * u.x));
}

const mat2 ROT = mat2(1.6, 1.2, -1.2, 1.6);

// Eroded fbm: octaves are damped where the accumulated slope is steep, which leaves smooth
// valleys and sharp, gullied ridges. The octave count lets the march use a cheap version.
float terrain(vec2 p, int octaves)
{
    p *= 0.2;
    float h = 0.0;
    float a = 1.0;
    vec2 d = vec2(0.0);
    for (int i = 0; i < 8; i++) {
        if (i >= octaves) break;
        vec3 n = noised(p);
        d += n.yz;
        h += a * n.x / (1.0 + dot(d, d));
        a *= 0.5;
        p = ROT * p;
    }
    return h * 2.6 - 1.0;
}

vec3 sky(vec3 rd, vec3 sun)
{
    float y = max(rd.y, 0.0);
    vec3 col = mix(vec3(1.1, 0.55, 0.3), vec3(0.15, 0.25, 0.55), pow(y, 0.45));
    float s = max(dot(rd, sun), 0.0);
    float s2 = s * s, s4 = s2 * s2;  // whole powers by multiplying: pow costs a log and an exp
    col += vec3(1.0, 0.6, 0.3) * (s4 * s4) * 0.6;
    col += vec3(6.0, 4.5, 2.5) * smoothstep(0.9985, 0.9993, s);
    // Thin streaks of high cloud.
    vec2 cp = rd.xz / max(rd.y, 0.05) * 1.5 + vec2(time * 0.02, 0.0);
    float cl = smoothstep(0.55, 0.9, noise(cp * vec2(0.6, 3.0)) * 0.7 + noise(cp * 2.5) * 0.3);
    col = mix(col, vec3(1.2, 0.7, 0.5) * (0.6 + 0.6 * s4), cl * 0.6 * smoothstep(0.0, 0.15, rd.y));
    return col;
}

float sun4(vec3 rd, vec3 sun)
{
    float s = max(dot(rd, sun), 0.0);
    s *= s;
    return s * s;
}

void main()
{
    float lt = time - SLOT_START;
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;
    vec3 sun = normalize(vec3(0.85, 0.22, -0.45));

    // Glide forward, banking gently; altitude follows the ground below.
    float z = -lt * 2.2;
    float x = 3.0 * sin(lt * 0.07);
    vec3 ro = vec3(x, 0.0, z);
    ro.y = max(terrain(ro.xz, 3), WATER) + 1.1;
    vec3 ta = vec3(x + 4.0 * sin(lt * 0.07 + 0.5) + 1.0, ro.y - 0.5, z - 6.0);
    vec3 fw = normalize(ta - ro);
    float bank = 0.08 * cos(lt * 0.07);
    vec3 rt = normalize(cross(fw, vec3(sin(bank), cos(bank), 0.0)));
    vec3 up = cross(rt, fw);
    vec3 rd = normalize(fw * 1.6 + rt * p.x + up * p.y);

    float t = 0.1;
    float tmax = 70.0;
    // Long steps, and where one ends below the ground the crossing is placed between it and the
    // step before, on the line through their heights. One test ends the march (near or below the
    // ground; above the highest the marched terrain can reach and climbing; past the end), and
    // the hit and the crossing are worked out after it: on the software rasterizer every test
    // that leaves the loop costs each step a pass over the pixels' masks.
    float tPrev = t, hPrev = 1.0, h = 1.0;
    int i;
    for (i = 0; i < 64; i++) {
        vec3 pos = ro + rd * t;
        h = pos.y - max(terrain(pos.xz, MARCH_OCTAVES), WATER);
        if (h < 0.002 * t || (pos.y > PEAK && rd.y >= 0.0) || t > tmax) break;
        tPrev = t;
        hPrev = h;
        t += max(h * 0.85, 0.01 * t);
    }
    bool hit = i < 64 && h < 0.002 * t && t <= tmax;
    if (hit && h < 0.0) t = tPrev + (t - tPrev) * hPrev / (hPrev - h);

    // A block of pixels that all take one side of a branch skips the other on the software
    // rasterizer, so the ground's work and the sky's (seen directly or mirrored in a lake) each
    // sit under their own.
    vec3 pos = ro + rd * t;
    float th = 0.0;
    if (hit) th = terrain(pos.xz, SHADE_OCTAVES);
    bool lake = hit && th < WATER + 0.003;
    vec3 col;
    if (lake || !hit) {
        // Lake: sky reflection with a sun glint and ripples.
        vec3 wn = vec3(0.0, 1.0, 0.0);
        if (lake) {
            float rip = noise(pos.xz * 4.0 + vec2(lt * 0.5, 0.0)) - 0.5;
            wn = normalize(vec3(rip * 0.08, 1.0, rip * 0.05));
        }
        col = sky(lake ? reflect(rd, wn) : rd, sun);
        if (lake) {
            float fres = 0.05 + 0.95 * pow(1.0 - max(dot(wn, -rd), 0.0), 5.0);
            col = mix(vec3(0.02, 0.05, 0.07), col, fres);
        }
    } else {
        float e = 0.01 + 0.0005 * t;
        vec3 n = normalize(vec3(th - terrain(pos.xz + vec2(e, 0.0), SHADE_OCTAVES), e, th - terrain(pos.xz + vec2(0.0, e), SHADE_OCTAVES)));
        float slope = n.y;
        vec3 rock = mix(vec3(0.18, 0.13, 0.1), vec3(0.3, 0.25, 0.2), noise(pos.xz * 3.0));
        vec3 grass = vec3(0.1, 0.16, 0.06);
        vec3 alb = mix(rock, grass, smoothstep(0.75, 0.9, slope) * smoothstep(1.2, 0.4, th));
        float snow = smoothstep(0.75, 0.95, slope) * smoothstep(0.7, 1.1, th + 0.2 * noise(pos.xz * 2.0));
        alb = mix(alb, vec3(0.9, 0.92, 1.0), snow);
        float dif = max(dot(n, sun), 0.0);
        float amb = 0.5 + 0.5 * n.y;
        col = alb * (vec3(2.2, 1.5, 1.0) * dif + vec3(0.25, 0.3, 0.45) * amb);
    }
    if (hit) {
        // Haze towards the horizon, lit by the sun where the view faces it.
        float fog = 1.0 - exp(-t * 0.035);
        vec3 fogc = mix(vec3(0.5, 0.45, 0.55), vec3(1.2, 0.7, 0.4), sun4(rd, sun));
        col = mix(col, fogc, fog);
    }

    gl_FragColor = vec4(col, 1.0);
}
