// Show parameters: the one block of values the timeline writes and the render passes upload.
// Vectors are consecutive floats (x, y, z, w) so that each component can be a track target;
// integer-valued fields are floats too, rounded to nearest-even where they are used.
#pragma once

struct ShowParams {
    float resolution[2];  // written every frame: (1920, 1080)
    float mouse[2];       // written every frame: (0.5, 0.5)
    float campos[3];      // tracks
    float camtar[3];      // tracks
    float camup[3];       // constant (0, 1, 0)
    float gamma;          // tracks
    float flashColor[4];  // tracks
    float logoColor[4];   // tracks
    float logoScale[2];   // constant (1, 1)
    float logoOffset[2];  // constant (0, 0)
    float displayLogo;    // tracks; integer
    float useEffect;      // tracks; integer
    float rgbOffset;      // constant 0
    float blurSize[2];    // constant (0.001, 0.001)
    float blurDir[2];     // written every frame: (cos(t * 0.001) * 0.005, 0)
    float fpar[16];       // four vec4, constant 0
    float scene_program;  // tracks; the GL program name the scene pass uses
    float skip_render;    // tracks; nonzero: the frame draws nothing
    float logo_slot;      // tracks; texture_table slot bound as the logo
};

extern ShowParams show_params;               // holds show_params_initial at load
extern const ShowParams show_params_initial;  // the values every field starts the show with
