#version 120
// Full-screen rectangle, and where the three sparks are this frame: the same for every pixel,
// so it is worked out here, four times a frame, rather than in the fragment shader for each pixel.
uniform float time;

varying vec2 uv;
varying vec4 sparks01;  // sparks 0 and 1, in the fragment shader's coordinates
varying vec2 spark2;

#ifndef SLOT_START
#define SLOT_START 0.0
#endif

vec2 spark(float i, float lt)
{
    float a = lt * (1.1 + 0.3 * i) + i * 2.1;
    return (0.45 + 0.15 * i) * vec2(cos(a), sin(a * 1.3));
}

void main()
{
    gl_Position = gl_Vertex;
    uv = gl_Vertex.xy * 0.5 + 0.5;
    float lt = time - SLOT_START;
    sparks01 = vec4(spark(0.0, lt), spark(1.0, lt));
    spark2 = spark(2.0, lt);
}
