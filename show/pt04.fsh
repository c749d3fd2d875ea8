#version 120
// Neon tunnel: a flight down an endless, winding octagonal shaft with glowing ribs and
// panelled walls. The previous frame is zoomed back in for a touch of speed streaking.
uniform vec2 resolution;
uniform float time;
uniform sampler2D texture;

varying vec2 uv;

const float R = 1.6;
const float RIB = 3.0;

float hash21(vec2 p)
{
    vec3 p3 = fract(vec3(p.xyx) * 0.1031);
    p3 += dot(p3, p3.yzx + 33.33);
    return fract((p3.x + p3.y) * p3.z);
}

vec3 palette(float x)
{
    return 0.5 + 0.5 * cos(6.28318 * (x + vec3(0.0, 0.33, 0.67)));
}

vec2 path(float z)
{
    return vec2(1.4 * sin(z * 0.11) + 0.6 * sin(z * 0.23), 0.9 * cos(z * 0.09));
}

float oct(vec2 q)
{
    q = abs(q);
    return max(max(q.x, q.y), (q.x + q.y) * 0.70710678);
}

// x: distance, y: distance to the ribs alone (for glow and material choice)
vec2 map(vec3 p)
{
    vec2 q = p.xy - path(p.z);
    float o = oct(q);
    float wall = R - o;
    float zr = mod(p.z, RIB) - 0.5 * RIB;
    float rib = max(abs(zr) - 0.1, (R - 0.22) - o);
    return vec2(min(wall, rib), rib);
}

vec3 normalAt(vec3 p)
{
    const vec2 e = vec2(0.003, -0.003);
    return normalize(e.xyy * map(p + e.xyy).x + e.yyx * map(p + e.yyx).x +
                     e.yxy * map(p + e.yxy).x + e.xxx * map(p + e.xxx).x);
}

vec3 ribColor(float z, float lt)
{
    return palette(floor(z / RIB) * 0.13 + lt * 0.05);
}

void main()
{
    float lt = time - SLOT_START;
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;

    float zc = -lt * (4.0 + 1.5 * smoothstep(0.0, 20.0, lt));
    vec3 ro = vec3(path(zc), zc);
    vec3 ta = vec3(path(zc - 7.0), zc - 7.0);
    float roll = 0.3 * sin(lt * 0.35);
    vec3 fw = normalize(ta - ro);
    vec3 rt = normalize(cross(fw, vec3(sin(roll), cos(roll), 0.0)));
    vec3 up = cross(rt, fw);
    vec3 rd = normalize(fw * 1.5 + rt * p.x + up * p.y);

    float t = 0.02;
    vec3 glow = vec3(0.0);
    vec2 h = vec2(1.0);
    for (int i = 0; i < 72; i++) {
        vec3 pos = ro + rd * t;
        h = map(pos);
        glow += ribColor(pos.z, lt) * min(h.x, 0.6) * 0.035 / (1.0 + h.y * h.y * 30.0);
        if (h.x < 0.001 * t || t > 60.0) break;
        t += h.x * 0.8;
    }

    vec3 pos = ro + rd * t;
    vec3 n = normalAt(pos);
    vec3 col;
    if (h.y < 0.01) {
        // Rib: bright neon on the inner face, darker on the sides.
        vec3 rc = ribColor(pos.z, lt);
        float inner = smoothstep(0.3, 0.9, dot(n, normalize(vec3(path(pos.z), pos.z) - vec3(pos.xy, pos.z) + vec3(0.0, 0.0, 1e-4))));
        float flick = 0.8 + 0.2 * sin(lt * 30.0 + floor(pos.z / RIB));
        col = rc * (0.4 + 5.0 * inner) * flick;
    } else {
        // Wall: dark panels with seams, a few lit windows and pulses running along the seams.
        vec2 q = pos.xy - path(pos.z);
        float ang = atan(q.y, q.x);
        vec2 w = vec2(ang / 6.28318 * 16.0, pos.z * 1.3);
        vec2 cell = floor(w);
        vec2 f = fract(w) - 0.5;
        float rnd = hash21(cell);
        float seam = min(0.5 - abs(f.x), 0.5 - abs(f.y));
        vec3 ld = normalize(ro + fw * 2.0 - pos);
        float dif = max(dot(n, ld), 0.0);
        float spe = pow(max(dot(reflect(rd, n), ld), 0.0), 30.0);
        vec3 base = mix(vec3(0.025, 0.025, 0.035), vec3(0.09, 0.085, 0.1), rnd) * smoothstep(0.0, 0.06, seam);
        col = base * (0.2 + 1.2 * dif) + vec3(0.5) * spe * smoothstep(0.0, 0.06, seam);
        float window = step(0.86, rnd) * smoothstep(0.2, 0.14, max(abs(f.x), abs(f.y)));
        col += palette(rnd * 4.0) * window * (1.2 + 0.5 * sin(lt * 6.0 + rnd * 40.0));
        float lane = step(0.75, hash21(vec2(cell.x, 3.0))) * exp(-(0.5 - abs(f.x)) * 40.0);
        float pz = fract(pos.z * 0.04 + lt * 0.7 + hash21(vec2(cell.x, 9.0)));
        col += vec3(0.2, 0.7, 1.0) * lane * exp(-pz * 10.0) * 3.0;
        // Light spilled from the nearest rib.
        float zr = abs(mod(pos.z, RIB) - 0.5 * RIB);
        col += ribColor(pos.z, lt) * exp(-zr * 2.5) * 0.18;
    }

    float fog = exp(-t * 0.05);
    col = col * fog + vec3(0.01, 0.015, 0.03) * (1.0 - fog);
    col += glow;

    vec2 zq = (uv - 0.5) * 0.975 + 0.5;
    vec3 prev = texture2D(texture, zq).rgb;
    col += prev * prev * 0.2 * smoothstep(0.0, 1.0, lt);

    gl_FragColor = vec4(col, 1.0);
}
