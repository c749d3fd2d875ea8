#version 120
// Night city: a low flight along an avenue between towers of lit windows, with neon signs,
// street light below and a hazy violet sky glow.
uniform vec2 resolution;
uniform float time;

varying vec2 uv;

const float CELL = 2.0;

float hash21(vec2 p)
{
    vec3 p3 = fract(vec3(p.xyx) * 0.1031);
    p3 += dot(p3, p3.yzx + 33.33);
    return fract((p3.x + p3.y) * p3.z);
}

float box(vec3 p, vec3 b)
{
    vec3 d = abs(p) - b;
    return min(max(d.x, max(d.y, d.z)), 0.0) + length(max(d, 0.0));
}

// One tower per block; the avenue along x = 0 is kept free for the camera.
float tower(vec3 p, vec2 cell)
{
    if (abs(cell.x + 0.5) < 1.0) return 1e3;
    float h = hash21(cell);
    float height = 0.6 + 5.0 * h * h * h + 0.8 * hash21(cell + 3.0);
    vec3 c = vec3((cell.x + 0.5) * CELL, 0.0, (cell.y + 0.5) * CELL);
    vec3 q = p - c;
    float w = 0.55 + 0.2 * hash21(cell + 7.0);
    float d = box(q - vec3(0.0, height * 0.5, 0.0), vec3(w, height * 0.5, w));
    // Setback on top of the taller towers.
    if (height > 2.5) d = min(d, box(q - vec3(0.0, height + 0.4, 0.0), vec3(w * 0.6, 0.4, w * 0.6)));
    return d;
}

void main()
{
    float lt = time - SLOT_START;
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;
    vec3 ro = vec3(0.3 * sin(lt * 0.3), 1.1 + 0.5 * sin(lt * 0.17), -lt * 2.6);
    vec3 ta = ro + vec3(0.6 * sin(lt * 0.21), 0.15 - 0.1 * sin(lt * 0.13), -3.0);
    vec3 fw = normalize(ta - ro);
    vec3 rt = normalize(cross(fw, vec3(0.05 * sin(lt * 0.2), 1.0, 0.0)));
    vec3 up = cross(rt, fw);
    vec3 rd = normalize(fw * 1.5 + rt * p.x + up * p.y);

    float tGround = rd.y < -1e-4 ? -ro.y / rd.y : 1e4;
    float tMax = min(tGround, 80.0);
    float t = 0.05;
    bool hit = false;
    vec2 hitCell = vec2(0.0);
    for (int i = 0; i < 96; i++) {
        vec3 pos = ro + rd * t;
        vec2 cell = floor(pos.xz / CELL);
        float d = tower(pos, cell);
        if (d < 0.001 * t) { hit = true; hitCell = cell; break; }
        vec2 edge = (cell + step(vec2(0.0), rd.xz)) * CELL;
        vec2 rs = vec2(abs(rd.x) > 1e-4 ? rd.x : 1e-4, abs(rd.z) > 1e-4 ? rd.z : 1e-4);
        vec2 tb = (edge - pos.xz) / rs;
        t += min(d, min(tb.x, tb.y) + 0.01);
        if (t > tMax) break;
    }

    vec3 skyc = mix(vec3(0.12, 0.05, 0.15), vec3(0.01, 0.01, 0.03), smoothstep(-0.05, 0.5, rd.y));
    vec3 col = skyc;
    if (hit) {
        vec3 pos = ro + rd * t;
        vec3 c = vec3((hitCell.x + 0.5) * CELL, 0.0, (hitCell.y + 0.5) * CELL);
        vec3 q = pos - c;
        // The box normal is the dominant axis of the local point relative to its half size.
        vec3 aq = abs(q) / vec3(1.0, 100.0, 1.0);
        vec3 n = aq.x > aq.z ? vec3(sign(q.x), 0.0, 0.0) : vec3(0.0, 0.0, sign(q.z));
        float side = n.x != 0.0 ? q.z : q.x;
        vec2 win = vec2(side * 9.0, pos.y * 7.0);
        vec2 wc = floor(win);
        vec2 wf = fract(win);
        float wr = hash21(wc + hitCell * 13.1 + n.xz * 7.0);
        float on = step(0.62, wr) * (0.3 + 2.5 * (wr - 0.62));
        float frame = step(0.2, wf.x) * step(wf.x, 0.8) * step(0.25, wf.y) * step(wf.y, 0.75);
        vec3 wcol = mix(vec3(1.0, 0.7, 0.35), vec3(0.6, 0.8, 1.0), hash21(wc * 1.7 + hitCell));
        col = vec3(0.02, 0.02, 0.03) + wcol * on * frame * 1.4;
        // Neon strips wrapping some towers at random heights.
        float nh = 0.5 + 3.0 * hash21(hitCell + 11.0);
        float neon = exp(-abs(pos.y - nh) * 30.0) * step(0.5, hash21(hitCell + 5.0));
        vec3 ncol = 0.5 + 0.5 * cos(6.28318 * (hash21(hitCell + 2.0) + vec3(0.0, 0.33, 0.67)));
        col += ncol * neon * 4.0 * (0.8 + 0.2 * sin(lt * 12.0 + hitCell.y));
        // Street light from below.
        col += vec3(1.0, 0.5, 0.2) * exp(-pos.y * 2.0) * 0.15;
        col = mix(col, skyc * 1.5, 1.0 - exp(-t * 0.04));
    } else if (tGround < 80.0) {
        // Streets: wet asphalt with lane markings and moving car lights.
        vec3 pos = ro + rd * tGround;
        vec2 cell = floor(pos.xz / CELL);
        float road = step(abs(pos.x), 0.8);
        col = vec3(0.015, 0.012, 0.02);
        float dash = step(0.5, fract(pos.z * 0.5)) * smoothstep(0.04, 0.0, abs(pos.x)) * road;
        col += vec3(0.8, 0.7, 0.4) * dash * 0.5;
        float lane = fract(pos.z * 0.08 + lt * 0.6 * sign(pos.x));
        float cars = smoothstep(0.15, 0.0, abs(abs(pos.x) - 0.4)) * exp(-lane * 20.0) * road;
        col += mix(vec3(1.0, 0.1, 0.05), vec3(1.0, 0.9, 0.7), step(0.0, pos.x)) * cars * 3.0;
        col += vec3(0.9, 0.45, 0.2) * 0.12 * exp(-abs(pos.x) * 1.2);
        col += skyc * pow(1.0 - abs(rd.y), 6.0) * 1.5;
        col = mix(col, skyc * 1.5, 1.0 - exp(-tGround * 0.04));
    } else {
        vec2 sp = floor(vec2(atan(rd.x, -rd.z), rd.y) * 400.0);
        col += vec3(0.8) * step(0.998, hash21(sp)) * smoothstep(0.1, 0.4, rd.y);
    }
    gl_FragColor = vec4(col, 1.0);
}
