#version 120
// Gyroid caverns: drifting through an organic lattice of smooth tunnels, lit by bioluminescent
// veins and a lamp carried with the camera.
uniform vec2 resolution;
uniform float time;

varying vec2 uv;

// Closer than this to a wall, the march switches from the coarse shell to the full one.
const float NEAR = 0.03;

float gyroid(vec3 p, float s)
{
    p *= s;
    return abs(dot(sin(p), cos(p.zxy))) / s;
}

// Sine to within 0.001 from two parabolas, for the march's first leg: it stops well clear of the
// walls, so it needs the field's shape rather than its last digits, at a fraction of the work.
vec4 sinFast(vec4 x)
{
    x = fract(x * 0.15915494 + 0.5) - 0.5;
    vec4 y = x * (8.0 - 16.0 * abs(x));
    return y + 0.225 * y * (abs(y) - 1.0);
}

vec2 path(float z)
{
    return vec2(0.6 * sin(z * 0.35), 0.4 * cos(z * 0.29));
}

float map(vec3 p)
{
    // Walls are a thickened gyroid shell; a second, finer one roughens them.
    float d = gyroid(p, 1.0) - 0.22;
    d += 0.06 * gyroid(p, 4.3);
    // A winding bore is kept open so the camera never passes through a wall.
    d = max(d, 0.75 - length(p.xy - path(p.z)));
    return d * 0.6;
}

// map without the fine shell, whose mean (0.0105 of the 0.06 * 1.5 / 4.3 it may reach) stands in
// for it: 0.2095 = 0.22 - 0.0105. Within a hundredth of map, so the glow gathered along it is the same.
float mapCoarse(vec3 p)
{
    // sin(p), cos(p) and the path's two waves, eight sines in two calls.
    vec4 s = sinFast(vec4(p, p.z * 0.35));
    vec4 c = sinFast(vec4(p.zxy, p.z * 0.29) + 1.5707963);
    float d = abs(dot(s.xyz, c.xyz)) - 0.2095;
    d = max(d, 0.75 - length(p.xy - vec2(0.6 * s.w, 0.4 * c.w)));
    return d * 0.6;
}

// The wall's normal from the field's gradient worked out by hand: one set of sines for both
// shells instead of the four whole samples of map that differences need.
vec3 gyroidGrad(vec3 p)
{
    vec3 s = sin(p), c = cos(p);
    return sign(dot(s, c.zxy)) * (c * c.zxy - s.yzx * s);
}

vec3 normalAt(vec3 p)
{
    vec3 g = gyroidGrad(p) + 0.06 * gyroidGrad(p * 4.3);
    vec2 v = p.xy - path(p.z);
    float lv = length(v);
    if (gyroid(p, 1.0) - 0.22 + 0.06 * gyroid(p, 4.3) < 0.75 - lv) {
        // On the bore's wall.
        vec2 dpath = vec2(0.21 * cos(p.z * 0.35), -0.116 * sin(p.z * 0.29));
        v /= max(lv, 1e-6);
        g = vec3(-v, dot(v, dpath));
    }
    return normalize(g);
}

void main()
{
    float t = time;
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;

    // The camera follows a line through the lattice that stays clear of the walls.
    float zc = -t * 0.8;
    vec3 ro = vec3(path(zc), zc);
    vec3 ta = vec3(path(zc - 2.0), zc - 2.0) + vec3(0.6 * sin(t * 0.17), 0.4 * sin(t * 0.13), 0.0);
    vec3 fw = normalize(ta - ro);
    vec3 rt = normalize(cross(fw, vec3(0.0, 1.0, 0.0)));
    vec3 up = cross(rt, fw);
    vec3 rd = normalize(fw * 1.4 + rt * p.x + up * p.y);

    float dist = 0.02;
    float glow = 0.0;
    bool hit = false;
    // Far from the walls the march reads the coarse shell only (half the sines), and leaves the
    // fine one to the last steps; both legs together take at most 80 steps.
    int i = 0;
    for (; i < 80; i++) {
        float d = mapCoarse(ro + rd * dist);
        if (d < NEAR) break;
        glow += 0.015 / (1.0 + d * d * 400.0);
        dist += d;
        if (dist > 20.0) break;
    }
    for (int j = 0; j < 80; j++) {
        if (i >= 80 || dist > 20.0) break;
        vec3 pos = ro + rd * dist;
        float d = map(pos);
        glow += 0.015 / (1.0 + d * d * 400.0);
        if (d < 0.0008 * dist) { hit = true; break; }
        dist += d;
        i++;
    }

    vec3 fogc = vec3(0.0, 0.02, 0.03);
    vec3 col = fogc;
    if (hit) {
        vec3 pos = ro + rd * dist;
        vec3 n = normalAt(pos);
        vec3 ld = normalize(ro - pos);
        float fall = 1.0 / (1.0 + dist * dist * 0.15);
        float dif = max(dot(n, ld), 0.0);
        // The twentieth power by multiplying: pow costs a logarithm and an exponential.
        float s4 = max(dot(reflect(rd, n), ld), 0.0);
        s4 *= s4;
        s4 *= s4;
        float s16 = s4 * s4;
        float spe = s16 * s4;
        float ao = clamp(map(pos + n * 0.15) / 0.15, 0.0, 1.0);
        vec3 alb = mix(vec3(0.55, 0.42, 0.35), vec3(0.3, 0.32, 0.4), smoothstep(-1.0, 1.0, sin(pos.y * 2.0 + pos.x)));
        col = alb * (dif * 1.6 + 0.05) * fall * (0.4 + 0.6 * ao) + vec3(0.6) * spe * fall;
        // Veins: thin bands where the fine lattice crosses zero, pulsing along the tunnel.
        float vein = exp(-gyroid(pos, 4.3) * 60.0);
        float pulse = 0.5 + 0.5 * sin(pos.z * 1.5 + t * 2.0);
        col += vec3(0.1, 0.9, 0.7) * vein * (0.3 + 1.5 * pulse) * (0.5 + 0.5 * ao);
        col = mix(col, fogc, 1.0 - exp(-dist * 0.12));
    }
    col += vec3(0.05, 0.4, 0.35) * glow * 0.4;
    gl_FragColor = vec4(col, 1.0);
}
