#version 120
// Opening scene: a dark plain of glowing crystal clusters. Light waves roll through the field
// and the crystals ignite one after another; the camera follows the show's camera uniforms.
uniform vec2 resolution;
uniform float time;
uniform vec3 campos;
uniform vec3 camtar;
uniform vec3 camup;

varying vec2 uv;

const float CELL = 1.8;
const float FLOOR = -1.4;
const float SKY = FLOOR + 2.8;  // the tallest crystal reaches FLOOR + 2.1

float hash21(vec2 p)
{
    vec3 p3 = fract(vec3(p.xyx) * 0.1031);
    p3 += dot(p3, p3.yzx + 33.33);
    return fract((p3.x + p3.y) * p3.z);
}

// Hexagonal prism around the y axis, spanning 0..h, with a pointed top.
float crystal(vec3 q, float r, float h)
{
    const vec3 k = vec3(-0.8660254, 0.5, 0.57735);
    vec2 a = abs(q.xz);
    a -= 2.0 * min(dot(k.xy, a), 0.0) * k.xy;
    float side = length(a - vec2(clamp(a.x, -k.z * r, k.z * r), r)) * sign(a.y - r);
    float body = max(side, abs(q.y - 0.5 * h) - 0.5 * h);
    float tip = (q.y + 2.2 * length(q.xz) - h) * 0.414;
    return max(body, tip);
}

// Rotation by a small angle (|a| < 0.5): the short Taylor series is exact to a few 1e-3 there and
// far cheaper than sin and cos at every step of the march.
vec2 rot(vec2 p, float a)
{
    float a2 = a * a;
    float c = 1.0 - a2 * (0.5 - a2 * (1.0 / 24.0)), s = a * (1.0 - a2 * (1.0 / 6.0));
    return vec2(c * p.x - s * p.y, s * p.x + c * p.y);
}

// Crystal cluster of one grid cell; the column around x = 0 stays clear as a walkway.
float cluster(vec3 p, vec2 cell)
{
    if (abs(cell.x) < 0.5) return 1e3;
    float h1 = hash21(cell);
    float h2 = hash21(cell + 17.3);
    float h3 = hash21(cell + 41.7);
    vec3 q = p - vec3((cell.x + 0.5) * CELL + (h2 - 0.5) * 0.4, FLOOR, (cell.y + 0.5) * CELL + (h3 - 0.5) * 0.4);
    vec3 q1 = q;
    q1.xy = rot(q1.xy, (h1 - 0.5) * 0.3);
    q1.zy = rot(q1.zy, (h2 - 0.5) * 0.3);
    float d = crystal(q1, 0.13 + 0.14 * h2, 0.5 + 1.6 * h1 * h1);
    vec3 q2 = q - vec3(0.28 * (h3 - 0.5) * 2.0, 0.0, 0.25);
    q2.xy = rot(q2.xy, 0.45 * sign(h3 - 0.5));
    d = min(d, crystal(q2, 0.08 + 0.05 * h3, 0.3 + 0.6 * h2));
    return d;
}

vec2 cellOf(vec3 p)
{
    return floor(p.xz / CELL);
}

vec3 cellColor(vec2 cell)
{
    float h = hash21(cell + 5.1);
    vec3 c = mix(vec3(0.15, 0.75, 1.0), vec3(0.65, 0.3, 1.0), h);
    if (hash21(cell + 9.9) > 0.88) c = vec3(1.0, 0.5, 0.15);
    return c;
}

// Sine to within 0.001 from two parabolas: the march asks for two at every step, and the
// library's is several times the work.
float sinFast(float x)
{
    x = fract(x * 0.15915494 + 0.5) - 0.5;
    float y = x * (8.0 - 16.0 * abs(x));
    return y + 0.225 * y * (abs(y) - 1.0);
}

// Brightness of a cell: rings of light travel outward from a point ahead of the camera,
// and during the first seconds the field switches on from near to far.
float pulse(vec2 cell)
{
    vec2 c = (cell + 0.5) * CELL;
    float r = length(c - vec2(0.0, -9.0));
    float wave = 0.5 + 0.5 * sinFast(r * 0.55 - time * 1.7);
    float ignite = smoothstep(0.0, 1.0, time * 0.9 - r * 0.12 + 0.5);
    float w2 = wave * wave;
    return ignite * (0.25 + 1.6 * w2 * w2 * wave + 0.15 * sinFast(time * 3.0 + hash21(cell) * 40.0));
}

// The distance field around a point of `cell`, which the four normal samples share: its
// cluster's placement is worked out once for all of them.
float mapIn(vec3 p, vec2 cell)
{
    return min(cluster(p, cell), p.y - FLOOR);
}

vec3 normalAt(vec3 p, vec2 cell)
{
    const vec2 e = vec2(0.002, -0.002);
    return normalize(e.xyy * mapIn(p + e.xyy, cell) + e.yyx * mapIn(p + e.yyx, cell) +
                     e.yxy * mapIn(p + e.yxy, cell) + e.xxx * mapIn(p + e.xxx, cell));
}

// Whole powers by multiplying: pow costs a logarithm and an exponential.
float pow5(float x)
{
    float x2 = x * x;
    return x2 * x2 * x;
}

float pow8(float x)
{
    x *= x;
    x *= x;
    return x * x;
}

void main()
{
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;
    vec3 fw = camtar - campos;
    fw = length(fw) > 1e-4 ? normalize(fw) : vec3(0.0, 0.0, -1.0);
    vec3 rt = cross(fw, camup);
    rt = length(rt) > 1e-4 ? normalize(rt) : vec3(1.0, 0.0, 0.0);
    vec3 up = cross(rt, fw);
    vec3 ro = campos;
    vec3 rd = normalize(fw * 1.7 + rt * p.x + up * p.y);

    vec3 fogCol = vec3(0.02, 0.025, 0.06);
    // The floor is intersected exactly; only the crystals are marched, up to the floor hit.
    float tFloor = rd.y < -1e-4 ? (FLOOR - ro.y) / rd.y : 1e4;
    float tMax = min(tFloor, 40.0);
    vec3 glow = vec3(0.0);
    float t = 0.05;
    bool hitCrystal = false;
    // What the steps to the cell borders need of the ray, worked out once.
    vec2 side = step(vec2(0.0), rd.xz);
    vec2 invRs = 1.0 / vec2(abs(rd.x) > 1e-4 ? rd.x : 1e-4, abs(rd.z) > 1e-4 ? rd.z : 1e-4);
    // 48 whole steps reach as far as 64 of three quarters did.
    for (int i = 0; i < 48; i++) {
        vec3 pos = ro + rd * t;
        vec2 cell = cellOf(pos);
        float d = cluster(pos, cell);
        // Light scattered in the air around the crystals, weighted by the length of the step
        // taken from here (the whole distance: 0.0933 = 0.07 / 0.75 keeps the sum that steps of
        // three quarters of it gathered).
        glow += cellColor(cell) * pulse(cell) * (0.0933 * min(d, 0.5)) / (1.0 + d * d * 40.0);
        if (d < 0.001 * t) { hitCrystal = true; break; }
        // Never step past the current cell's border, or neighbouring clusters are missed.
        vec2 tb = ((cell + side) * CELL - pos.xz) * invRs;
        // The field is a true bound (exact prism and tip plane, rotations that keep length), so
        // the whole of it is a safe step.
        t += min(d, min(tb.x, tb.y) + 0.01);
        if (t > tMax) break;
        // Well above the tallest crystal and climbing: only faint air glow would be left.
        if (pos.y > SKY && rd.y > 0.0) break;
    }
    if (!hitCrystal) t = tMax;

    vec3 col = fogCol;
    if (hitCrystal || tFloor < 40.0) {
        vec3 pos = ro + rd * t;
        vec2 hitCell = cellOf(pos);
        vec3 n = hitCrystal ? normalAt(pos, hitCell) : vec3(0.0, 1.0, 0.0);
        vec3 v = -rd;
        vec3 ld = normalize(vec3(-0.4, 0.8, 0.3));
        // Pools of light under the four cells nearest the point (a pool is down to 5% one cell
        // away); the cell the point lies in is one of them, and its light is the crystal's too.
        vec2 cell = floor(pos.xz / CELL - 0.5);
        vec3 pool = vec3(0.0), e = vec3(0.0);
        for (int j = 0; j <= 1; j++) {
            for (int i = 0; i <= 1; i++) {
                vec2 c = cell + vec2(float(i), float(j));
                if (abs(c.x) < 0.5) continue;
                vec3 light = cellColor(c) * pulse(c);
                if (c == hitCell) e = light;
                pool += light * exp(-length(pos.xz - (c + 0.5) * CELL) * 2.2);
            }
        }
        if (!hitCrystal) {
            // Floor: polished dark stone.
            vec2 g = abs(fract(pos.xz * 0.5) - 0.5);
            float line = smoothstep(0.49, 0.5, max(g.x, g.y)) * exp(-t * 0.08);
            float fres = pow5(1.0 - max(rd.y * -1.0, 0.0));
            col = vec3(0.012, 0.014, 0.02) + pool * 0.45 + vec3(0.1, 0.2, 0.35) * line * 0.3 + fogCol * fres * 4.0;
        } else {
            // Bands of light climbing through the crystal.
            e *= 1.0 + 1.5 * pow8(0.5 + 0.5 * sin((pos.y - FLOOR) * 7.0 - time * 2.5 + hash21(hitCell) * 6.28));
            float ndv = max(dot(n, v), 0.0);
            float fres = (1.0 - ndv) * (1.0 - ndv) * (1.0 - ndv);
            float dif = max(dot(n, ld), 0.0);
            float s8 = pow8(max(dot(reflect(-ld, n), v), 0.0)), s16 = s8 * s8;
            float spe = s16 * s16 * s8;
            // Brighter towards the base: the light seems to come from inside the ground.
            float inner = exp(-(pos.y - FLOOR) * 0.9);
            col = e * (0.25 + 0.9 * fres + 0.6 * inner) + vec3(0.06, 0.08, 0.12) * dif + vec3(0.9) * spe * 0.6;
        }
        col = mix(fogCol, col, exp(-t * 0.06));
    } else {
        // Distant haze with a faint horizon band.
        col = fogCol + vec3(0.05, 0.04, 0.12) * exp(-abs(rd.y) * 12.0);
        vec2 sp = floor(rd.xy / max(rd.z * rd.z + 0.3, 0.3) * 300.0);
        float star = step(0.997, hash21(sp));
        col += vec3(0.7, 0.8, 1.0) * star * smoothstep(0.0, 0.2, rd.y) * (0.5 + 0.5 * sin(time * 2.0 + hash21(sp + 3.0) * 30.0));
    }
    col += glow;
    gl_FragColor = vec4(col, 1.0);
}
