#version 120
// Kaleidoscope feedback: a six-fold mirrored pattern of glowing petals, fed back through the
// previous frame with a slow zoom and twist so every shape leaves a spiralling echo.
uniform vec2 resolution;
uniform float time;
uniform sampler2D texture;

varying vec2 uv;

vec3 palette(float x)
{
    return 0.5 + 0.5 * cos(6.28318 * (x + vec3(0.0, 0.1, 0.2)) + vec3(0.0, 1.0, 2.0));
}

void main()
{
    float t = time;
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;

    // Fold the plane into a 60 degree wedge.
    float r = length(p);
    float a = atan(p.y, p.x) + t * 0.1;
    const float SEG = 1.0471976;
    a = mod(a, SEG);
    a = abs(a - 0.5 * SEG);
    vec2 k = vec2(cos(a), sin(a)) * r;

    // Petals: soft-edged circles marching outwards plus a few thin arcs.
    vec3 col = vec3(0.0);
    for (int i = 0; i < 4; i++) {
        float fi = float(i);
        float rr = fract(t * 0.08 + fi * 0.25) * 1.9;
        vec2 c = vec2(rr, 0.12 * sin(t * 0.7 + fi * 2.0));
        float d = length(k - c) - (0.05 + 0.1 * rr);
        col += palette(fi * 0.21 + t * 0.03) * (0.004 / (0.004 + d * d)) * 0.25 * smoothstep(1.9, 1.2, rr);
    }
    float arcs = abs(sin(r * 9.0 - t * 1.2));
    col += palette(r * 0.3 + t * 0.05) * exp(-arcs * 18.0) * 0.35 * exp(-r * 0.8);
    float spokes = exp(-a * 70.0) * exp(-r * 1.3);
    col += vec3(0.8, 0.9, 1.0) * spokes * 0.5;

    // Echo of the last frame, zoomed in and twisted, slightly faded.
    vec2 c = uv - 0.5;
    float ca = cos(0.012), sa = sin(0.012);
    c = vec2(ca * c.x - sa * c.y, sa * c.x + ca * c.y) * 0.985;
    vec3 prev = texture2D(texture, c + 0.5).rgb;
    col += prev * prev * 0.9;

    gl_FragColor = vec4(col, 1.0);
}
