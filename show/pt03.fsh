#version 120
// Fractal sculpture: a kaleidoscopic folded form whose fold angles drift, so the structure
// keeps reshaping itself while the camera circles it. Coloured by orbit traps, lit by two lamps.
uniform vec2 resolution;
uniform float time;

varying vec2 uv;


vec2 rot(vec2 p, float a)
{
    float c = cos(a), s = sin(a);
    return vec2(c * p.x - s * p.y, s * p.x + c * p.y);
}

vec4 gTrap;

float box(vec3 p, float b)
{
    vec3 d = abs(p) - b;
    return min(max(d.x, max(d.y, d.z)), 0.0) + length(max(d, 0.0));
}

// Sponge: a cube with the cross-shaped hole of every level carved out. Each level's lattice
// is twisted slightly against the previous one, and the twist drifts, so the form shifts.
float map(vec3 p)
{
    float lt = time - SLOT_START;
    float a1 = 0.10 * sin(lt * 0.23);
    float a2 = 0.14 * sin(lt * 0.17 + 1.0);
    float d = box(p, 1.0);
    float s = 1.0;
    vec4 trap = vec4(1e3);
    for (int i = 0; i < 4; i++) {
        vec3 a = mod(p * s, 2.0) - 1.0;
        s *= 3.0;
        vec3 r = abs(1.0 - 3.0 * abs(a));
        float da = max(r.x, r.y);
        float db = max(r.y, r.z);
        float dc = max(r.z, r.x);
        float c = (min(da, min(db, dc)) - 1.0) / s;
        d = max(d, c);
        trap = min(trap, vec4(r, float(i) + c * s));
        p.xy = rot(p.xy, a1);
        p.yz = rot(p.yz, a2);
    }
    gTrap = trap;
    return d;
}

vec3 normalAt(vec3 p, float e)
{
    vec2 h = vec2(e, -e);
    return normalize(h.xyy * map(p + h.xyy) + h.yyx * map(p + h.yyx) +
                     h.yxy * map(p + h.yxy) + h.xxx * map(p + h.xxx));
}

void main()
{
    float gLt = time - SLOT_START;
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;

    float ang = gLt * 0.12 + 0.6;
    float dist = 3.3 - 1.3 * smoothstep(0.0, 28.0, gLt);
    vec3 ro = vec3(dist * sin(ang), 0.9 * sin(gLt * 0.09) + 0.6, dist * cos(ang));
    vec3 fw = normalize(-ro);
    vec3 rt = normalize(cross(fw, vec3(0.0, 1.0, 0.0)));
    vec3 up = cross(rt, fw);
    vec3 rd = normalize(fw * 1.8 + rt * p.x + up * p.y);

    // Bounding sphere keeps the march tight.
    float b = dot(ro, rd);
    float c = dot(ro, ro) - 2.6 * 2.6;
    float disc = b * b - c;
    vec3 bg = mix(vec3(0.015, 0.01, 0.02), vec3(0.06, 0.035, 0.05), 0.5 + 0.5 * p.y);
    bg += vec3(0.25, 0.12, 0.05) * exp(-length(p - vec2(0.9, 0.5)) * 2.5) * 0.4;
    vec3 col = bg;
    float glow = 0.0;
    if (disc > 0.0) {
        float t = max(-b - sqrt(disc), 0.0);
        float tEnd = -b + sqrt(disc);
        bool hit = false;
        int steps = 0;
        for (int i = 0; i < 96; i++) {
            float d = map(ro + rd * t);
            glow += exp(-d * 40.0) * 0.012;
            if (d < 0.0006 * t) { hit = true; break; }
            t += d;
            steps = i;
            if (t > tEnd) break;
        }
        if (hit) {
            vec3 pos = ro + rd * t;
            vec3 n = normalAt(pos, 0.0005 * t);
            vec4 tr = gTrap;
            map(pos);
            tr = gTrap;
            // Brass and oxidised copper, chosen by the orbit traps.
            vec3 alb = mix(vec3(0.75, 0.5, 0.22), vec3(0.15, 0.45, 0.42), smoothstep(0.1, 0.6, tr.y));
            alb = mix(alb, vec3(0.7, 0.15, 0.1), smoothstep(0.5, 0.0, tr.z) * 0.6);
            float ao = clamp(1.0 - float(steps) / 96.0, 0.0, 1.0);
            ao = ao * ao;
            vec3 l1 = normalize(vec3(0.7, 0.8, 0.3));
            vec3 l2 = normalize(vec3(-0.6, -0.2, -0.7));
            float d1 = max(dot(n, l1), 0.0);
            float d2 = max(dot(n, l2), 0.0);
            float sp = pow(max(dot(reflect(rd, n), l1), 0.0), 24.0);
            float fr = pow(1.0 - max(dot(n, -rd), 0.0), 4.0);
            col = alb * (vec3(1.6, 1.3, 1.0) * d1 + vec3(0.2, 0.35, 0.6) * d2 + 0.08) * (0.3 + 0.7 * ao);
            col += vec3(1.2, 1.0, 0.8) * sp * ao + vec3(0.3, 0.4, 0.6) * fr * ao * 0.5;
            // Faint emissive veins that pulse through the deepest folds.
            col += vec3(1.0, 0.4, 0.1) * smoothstep(0.04, 0.0, tr.x) * (0.5 + 0.5 * sin(gLt * 2.0 + tr.w * 4.0)) * 1.5;
            col = mix(col, bg, 1.0 - exp(-max(t - 1.0, 0.0) * 0.15));
        }
    }
    col += vec3(1.0, 0.55, 0.25) * glow * 0.6;
    gl_FragColor = vec4(col, 1.0);
}
