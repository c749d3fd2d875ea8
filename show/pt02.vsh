#version 120
// Full-screen rectangle: pass clip-space corners through and hand the fragment stage 0..1 coordinates.
varying vec2 uv;
void main()
{
    gl_Position = gl_Vertex;
    uv = gl_Vertex.xy * 0.5 + 0.5;
}
