#version 120
// Presentation pass: takes the scene's picture, applies the opening flash, a soft knee for
// highlights, a vignette, the scanline effect while useEffect is on, the fade curve (gamma), and
// lays the logo on top. It runs after every scene, so keep it cheap: one texture read per pixel,
// two more only where the logo is.
uniform sampler2D renderedTexture;  // the scene pass's picture (float, may exceed 1.0)
uniform sampler2D logoTexture;      // the logo image (logo.png), bound from the slot logo_slot names
uniform vec2 resolution;            // 1920x1080
uniform vec4 flashColor;            // the opening flash: rgb scales exposure, alpha is the rise
uniform int useEffect;              // an integer parameter: 1 draws scanlines
uniform int displayLogo;            // 1 while the logo shows
uniform vec4 logoColor;             // tints the logo; alpha fades it in
uniform vec2 logoScale;             // (1,1): the logo spans half the screen's width
uniform vec2 logoOffset;            // (0,0): centred
uniform float gamma;                // 1 neutral, 0.01 black: the fades at scene changes

varying vec2 uv;

void main()
{
    vec3 col = texture2D(renderedTexture, uv).rgb;

    // The flash: while flashColor's alpha rises from 0 to 1 the picture comes up from black and
    // overshoots to a bright bloom half way, then settles at neutral exposure (1,1,1,1).
    float rise = clamp(flashColor.a, 0.0, 1.0);
    col *= flashColor.rgb * (1.0 + 2.0 * sin(3.14159265 * rise));

    // Values up to 0.8 pass unchanged, so a scene's colours are the ones on screen; brighter ones
    // roll off softly towards white instead of clipping.
    vec3 over = max(col - 0.8, 0.0);
    col = min(col, 0.8) + 0.2 * (1.0 - exp(-5.0 * over));

    vec2 c = uv - 0.5;
    col *= 1.0 - 0.5 * dot(c, c);
    if (useEffect != 0) col *= 0.8 + 0.2 * step(0.5, fract(gl_FragCoord.y * 0.25));

    // The fade curve: gamma below 1 crushes the picture towards black.
    float g = max(gamma, 0.001);
    col = pow(clamp(col, 0.0, 1.0), vec3(1.0 / g)) * smoothstep(0.0, 0.3, g);

    // The logo: 4:1, half the screen wide, centred; blended by its own alpha times logoColor's.
    if (displayLogo != 0) {
        vec2 size = vec2(0.5, 0.125) * resolution.x * logoScale;
        vec2 q = (gl_FragCoord.xy - 0.5 * resolution * (1.0 + logoOffset)) / size + 0.5;
        if (q.x >= 0.0 && q.x <= 1.0 && q.y >= 0.0 && q.y <= 1.0) {
            vec4 logo = texture2D(logoTexture, vec2(q.x, 1.0 - q.y)) * logoColor;
            col = mix(col, logo.rgb, clamp(logo.a, 0.0, 1.0));
        }
    }

    gl_FragColor = vec4(col, 1.0);
}
