#version 120
// A chequered plain under a pale green sky, seen from the show's camera. The sheet tweens campos
// and camtar over this scene, so the flight is edited there, not here; the vertex shader turns
// them into a view ray per pixel, and each ray meets the ground plane y = 0.
uniform vec3 campos;

varying vec2 uv;
varying vec3 ray;

void main()
{
    vec3 rd = normalize(ray);
    vec3 col = mix(vec3(0.6, 0.85, 0.55), vec3(0.2, 0.5, 0.35), clamp(rd.y * 2.0, 0.0, 1.0));
    if (rd.y < 0.0) {
        float t = -campos.y / rd.y;
        vec2 ground = campos.xz + rd.xz * t;
        // The squares blur into their mean colour with distance, which also keeps them from
        // flickering where they get smaller than a pixel; haze takes the far ground.
        vec2 f = abs(fract(ground * 0.5) - 0.5);
        float chequer = step(0.0, (f.x - 0.25) * (f.y - 0.25));
        float blur = clamp(t * 0.05, 0.0, 1.0);
        vec3 grass = mix(vec3(0.1, 0.45, 0.15), vec3(0.35, 0.8, 0.3), mix(chequer, 0.5, blur));
        col = mix(col, grass, 1.0 / (1.0 + t * 0.04));
    }

    gl_FragColor = vec4(col, 1.0);
}
