#version 120
// A red sphere on a dark stage, lit from above, which the camera circles: the sheet tweens
// campos around it while camtar stays on its centre. The vertex shader gives each pixel its view
// ray, and the ray meets the sphere in closed form, with no marching.
uniform vec3 campos;

varying vec2 uv;
varying vec3 ray;

void main()
{
    vec3 rd = normalize(ray);

    // Backdrop: a deep red that darkens upwards, with a bright band low down.
    float band = rd.y + 0.15;
    vec3 col = vec3(0.4, 0.06, 0.05) * (1.0 - 0.5 * rd.y) + vec3(0.3, 0.05, 0.02) / (1.0 + 400.0 * band * band);

    // The unit sphere at the origin: |campos + t rd| = 1.
    float b = dot(campos, rd);
    float h = b * b - dot(campos, campos) + 1.0;
    if (h > 0.0) {
        vec3 n = campos + rd * (-b - sqrt(h));
        vec3 l = vec3(0.49, 0.79, -0.3);  // towards the light, unit length
        float diffuse = max(dot(n, l), 0.0);
        float s = max(dot(reflect(rd, n), l), 0.0);
        s *= s;
        s *= s;
        s *= s;  // the eighth power, three times over: a tight highlight
        col = vec3(0.9, 0.12, 0.1) * (0.15 + 0.85 * diffuse) + vec3(1.0, 0.85, 0.8) * s * s * s;
    }

    gl_FragColor = vec4(col, 1.0);
}
