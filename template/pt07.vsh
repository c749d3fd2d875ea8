#version 120
// Full-screen rectangle, and the camera's view ray at each corner. The ray is linear across the
// screen, so working it out for the four corners and letting the rasterizer interpolate it gives
// every pixel its own ray without doing the camera's arithmetic two million times a frame.
uniform vec2 resolution;
uniform vec3 campos;  // where the camera is
uniform vec3 camtar;  // the point it looks at
uniform vec3 camup;   // which way is up (0 1 0)

varying vec2 uv;
varying vec3 ray;     // not normalized: normalize it per pixel

void main()
{
    gl_Position = gl_Vertex;
    uv = gl_Vertex.xy * 0.5 + 0.5;
    vec3 fw = normalize(camtar - campos);
    vec3 rt = normalize(cross(fw, camup));
    vec3 up = cross(rt, fw);
    vec2 p = gl_Vertex.xy * vec2(resolution.x / resolution.y, 1.0);
    ray = p.x * rt + p.y * up + 1.5 * fw;
}
