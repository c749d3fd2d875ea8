#version 120
// Full-screen rectangle: the pass draws one quad with corners at clip-space (-1,-1) ... (1,1); pass
// them through and hand the fragment stage 0..1 coordinates across the screen.
varying vec2 uv;
void main()
{
    gl_Position = gl_Vertex;
    uv = gl_Vertex.xy * 0.5 + 0.5;
}
