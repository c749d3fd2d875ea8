#version 120
// Trails: three sparks circle over a plum glow, and each frame keeps the last one (the sampler
// named texture), drawn a little smaller and turned, so the sparks leave spiralling trails. The
// previous frame is the finished picture, after the post program; a seek in the preview clears it.
uniform vec2 resolution;
uniform sampler2D texture;

varying vec2 uv;
varying vec4 sparks01;
varying vec2 spark2;

float glow(vec2 d)
{
    return 0.002 / (dot(d, d) + 0.002);
}

void main()
{
    vec2 p = (gl_FragCoord.xy * 2.0 - resolution) / resolution.y;
    vec3 col = vec3(0.6, 0.12, 0.55) * (1.0 - 0.15 * dot(p, p));
    col += vec3(1.0, 0.45, 0.9) * (glow(p - sparks01.xy) + glow(p - sparks01.zw) + glow(p - spark2));

    // The echo: the last frame, 1.5% smaller towards the centre and turned 0.6 degrees.
    vec2 e = (uv - 0.5) * 0.985;
    e = vec2(e.x - 0.0105 * e.y, 0.0105 * e.x + e.y);
    vec3 prev = texture2D(texture, e + 0.5).rgb;
    col = max(col, prev * 0.93);

    gl_FragColor = vec4(col, 1.0);
}
