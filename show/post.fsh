#version 120
// Presentation pass: tone-maps the HDR scene, adds glow, lens fringing, trails,
// grain and vignette, applies the fade curve and composites the logo on top.
uniform sampler2D renderedTexture;
uniform sampler2D backBuffer;
uniform sampler2D logoTexture;
uniform vec4 fpar[4];
uniform vec2 resolution;
uniform vec2 mouse;
uniform float time;
uniform vec4 flashColor;
uniform float rgbOffset;
uniform vec2 blurSize;
uniform vec2 blurDir;
uniform int useEffect;
uniform int displayLogo;
uniform vec4 logoColor;
uniform vec2 logoScale;
uniform vec2 logoOffset;
uniform float gamma;

varying vec2 uv;

float hash12(vec2 p)
{
    vec3 p3 = fract(vec3(p.xyx) * 0.1031);
    p3 += dot(p3, p3.yzx + 33.33);
    return fract((p3.x + p3.y) * p3.z);
}

// Filmic curve: keeps highlights from clipping hard and lifts the mids slightly.
vec3 tonemap(vec3 x)
{
    x = max(x, vec3(0.0));
    return clamp((x * (2.51 * x + 0.03)) / (x * (2.43 * x + 0.59) + 0.14), 0.0, 1.0);
}

vec3 sceneAt(vec2 p)
{
    return texture2D(renderedTexture, clamp(p, vec2(0.0), vec2(1.0))).rgb;
}

void main()
{
    vec2 p = uv;
    vec2 c = p - 0.5;
    float r2 = dot(c, c);

    // Optional barrel warp, only when the effect switch is on.
    if (useEffect != 0) {
        p = 0.5 + c * (1.0 + 0.12 * r2 + 0.02 * sin(time * 3.0 + c.y * 20.0));
    }

    // Lens fringing: red and blue are pulled apart along the drifting blur direction,
    // more towards the frame edges; rgbOffset adds a radial split on top.
    vec2 smear = blurDir * (0.15 + 0.6 * r2);
    vec2 radial = c * rgbOffset;
    vec3 col;
    col.r = sceneAt(p + smear + radial).r;
    col.g = sceneAt(p).g;
    col.b = sceneAt(p - smear - radial).b;

    // Soft glow from bright areas: a sparse two-ring kernel scaled by blurSize.
    vec2 px = blurSize * vec2(resolution.y / resolution.x, 1.0) * 6.0;
    vec3 glow = vec3(0.0);
    for (int i = 0; i < 8; i++) {
        float a = float(i) * 0.785398 + 0.39;
        vec2 d = vec2(cos(a), sin(a));
        glow += sceneAt(p + d * px);
        glow += sceneAt(p + d * px * 2.6) * 0.6;
    }
    glow /= 12.8;
    glow = max(glow - vec3(0.8), vec3(0.0));

    // Opening: flashColor rises from black to white; during the rise the picture
    // blooms over-exposed and then settles to neutral exposure at (1,1,1,1).
    float rise = clamp(flashColor.a, 0.0, 1.0);
    float over = sin(3.14159265 * rise);
    vec3 expo = flashColor.rgb * (1.0 + 1.2 * over);
    vec3 hdr = (col + glow * (0.55 + 2.0 * over)) * expo;

    vec3 ldr = tonemap(hdr);

    // Vignette and fine grain.
    ldr *= 1.0 - 0.55 * r2;
    float g = hash12(gl_FragCoord.xy + fract(time * 7.31) * 431.0) - 0.5;
    ldr += g * 0.025;
    ldr = clamp(ldr, 0.0, 1.0);

    // Fade curve: gamma 1 is neutral, lower values crush towards black.
    float gm = max(gamma, 0.001);
    ldr = pow(ldr, vec3(1.0 / gm)) * smoothstep(0.0, 0.35, gm);

    // Short trails from the previous presented frame.
    vec3 prev = texture2D(backBuffer, uv).rgb;
    ldr = mix(ldr, max(ldr, prev * 0.92), 0.18);

    // Logo: centred, 60% of the screen width, 4:1 image aspect, alpha blended.
    if (displayLogo != 0) {
        vec2 size = vec2(0.6 * resolution.x, 0.15 * resolution.x) * logoScale;
        vec2 q = (gl_FragCoord.xy - 0.5 * resolution - logoOffset * 0.5 * resolution) / max(size, vec2(1.0)) + 0.5;
        if (q.x >= 0.0 && q.x <= 1.0 && q.y >= 0.0 && q.y <= 1.0) {
            vec2 lt = vec2(q.x, 1.0 - q.y);
            vec4 logo = texture2D(logoTexture, lt) * logoColor;
            // A faint dark halo keeps the light logo readable over bright scenery.
            float halo = 0.0;
            vec2 o = vec2(6.0) / size;
            halo += texture2D(logoTexture, lt + vec2(o.x, 0.0)).a;
            halo += texture2D(logoTexture, lt - vec2(o.x, 0.0)).a;
            halo += texture2D(logoTexture, lt + vec2(0.0, o.y)).a;
            halo += texture2D(logoTexture, lt - vec2(0.0, o.y)).a;
            ldr *= 1.0 - 0.35 * clamp(halo * 0.25, 0.0, 1.0) * logoColor.a;
            ldr = mix(ldr, logo.rgb, clamp(logo.a, 0.0, 1.0));
        }
    }

    gl_FragColor = vec4(ldr, 1.0);
}
