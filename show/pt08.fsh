#version 120
// Liquid metal: a cluster of blobs that melt into each other and pull apart, polished like
// chrome with a thin-film tint, reflecting a studio of soft light panels.
uniform vec2 resolution;
uniform float time;

varying vec2 uv;


float smin(float a, float b, float k)
{
    float h = clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
    return mix(b, a, h) - k * h * (1.0 - h);
}

// The blobs move with time only: their centres and the core's radius are worked out once per
// pixel, not at every step of the march.
vec3 centre[7];
float core;

void placeBlobs(float lt)
{
    core = 0.75 + 0.05 * sin(lt * 1.3);
    for (int i = 0; i < 7; i++) {
        float fi = float(i);
        centre[i] = vec3(sin(lt * (0.31 + 0.07 * fi) + fi * 1.7),
                         sin(lt * (0.43 + 0.05 * fi) + fi * 2.9) * 0.8,
                         cos(lt * (0.37 + 0.06 * fi) + fi * 0.9)) * (1.05 + 0.35 * sin(lt * 0.2 + fi));
    }
}

float map(vec3 p)
{
    float d = length(p) - core;
    for (int i = 0; i < 7; i++) d = smin(d, length(p - centre[i]) - (0.28 + 0.03 * float(i)), 0.45);
    return d;
}

// Every blob stays within 1.4 * |(1, 0.8, 1)| + 0.46 of the origin, and the smooth union adds at
// most a quarter of its width: nothing lies outside this radius.
const float BOUND = 3.0;

vec3 normalAt(vec3 p)
{
    const vec2 e = vec2(0.002, -0.002);
    return normalize(e.xyy * map(p + e.xyy) + e.yyx * map(p + e.yyx) +
                     e.yxy * map(p + e.yxy) + e.xxx * map(p + e.xxx));
}

// Studio: dark gradient with a few large soft-box lights and a warm rim strip.
vec3 env(vec3 d)
{
    vec3 col = mix(vec3(0.03, 0.03, 0.04), vec3(0.25, 0.26, 0.3), 0.5 + 0.5 * d.y);
    col += vec3(3.0, 2.9, 2.7) * smoothstep(0.6, 0.8, d.y) * smoothstep(0.5, 0.3, abs(d.x));
    col += vec3(0.6, 1.4, 2.6) * smoothstep(0.85, 0.95, dot(d, normalize(vec3(-1.0, 0.2, 0.3))));
    col += vec3(2.6, 1.0, 0.4) * smoothstep(0.06, 0.0, abs(d.y + 0.05)) * smoothstep(-0.2, 0.6, d.x);
    col += vec3(0.9, 0.3, 1.2) * smoothstep(0.9, 0.97, dot(d, normalize(vec3(0.7, -0.3, -0.6))));
    return col;
}

void main()
{
    float lt = time - SLOT_START;
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;
    float ang = lt * 0.15;
    vec3 ro = vec3(3.4 * sin(ang), 0.8 + 0.5 * sin(lt * 0.11), 3.4 * cos(ang));
    vec3 fw = normalize(-ro);
    vec3 rt = normalize(cross(fw, vec3(0.0, 1.0, 0.0)));
    vec3 up = cross(rt, fw);
    vec3 rd = normalize(fw * 1.9 + rt * p.x + up * p.y);

    vec3 col = mix(vec3(0.015, 0.015, 0.02), vec3(0.05, 0.055, 0.07), smoothstep(-0.2, 0.6, rd.y));
    col += vec3(0.12, 0.1, 0.14) * exp(-length(p - vec2(0.0, 0.2)) * 1.5);
    // Floor grid far below to give a sense of space.
    if (rd.y < 0.0) {
        float tf = (-2.2 - ro.y) / rd.y;
        vec2 g = ro.xz + rd.xz * tf;
        vec2 gl = abs(fract(g) - 0.5);
        float line = smoothstep(0.47, 0.5, max(gl.x, gl.y)) * exp(-tf * 0.12);
        col = mix(col, vec3(0.01), 0.6) + vec3(0.1, 0.2, 0.3) * line * 0.6;
        col += vec3(0.15, 0.12, 0.1) * exp(-length(g) * 0.5);
    }

    // March only inside the bounding sphere; rays that miss it see the studio alone.
    float b = dot(ro, rd), disc = b * b - dot(ro, ro) + BOUND * BOUND;
    float t = disc > 0.0 ? max(1.5, -b - sqrt(disc)) : 1e3;
    float tEnd = disc > 0.0 ? min(10.0, -b + sqrt(disc)) : 0.0;
    bool hit = false;
    placeBlobs(lt);
    for (int i = 0; i < 80; i++) {
        if (t > tEnd) break;
        float d = map(ro + rd * t);
        if (d < 0.001) { hit = true; break; }
        t += d * 0.9;
    }
    if (hit) {
        vec3 pos = ro + rd * t;
        vec3 n = normalAt(pos);
        vec3 r = reflect(rd, n);
        float ndv = max(dot(n, -rd), 0.0);
        // Thin-film interference tint that shifts with the viewing angle.
        vec3 film = 0.6 + 0.4 * cos(6.28318 * (ndv * 1.6 + vec3(0.0, 0.33, 0.67) + lt * 0.05));
        float fres = 0.35 + 0.65 * pow(1.0 - ndv, 4.0);
        col = env(r) * film * fres + vec3(0.02, 0.025, 0.03);
        // Contact darkening where blobs crowd together.
        float ao = clamp(map(pos + n * 0.25) / 0.25, 0.0, 1.0);
        col *= 0.4 + 0.6 * ao;
    }
    gl_FragColor = vec4(col, 1.0);
}
