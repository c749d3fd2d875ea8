// The show timeline as it was before the script came from the cue sheet, frozen: the track table
// of the script built with program names 101 ... 110 (start, end, easing, target as a float offset
// into ShowParams, from and to as float bits), and per float of ShowParams an FNV-1a 64 digest of
// its bits over every millisecond from 0 to 240001, each evaluated from the start values.
#pragma once
#include <stdint.h>

namespace frozen_show {

struct FrozenTrack {
    int32_t start, end, mode, target;
    uint32_t from, to;
};

const FrozenTrack TRACKS[] = {
    {11000, 11001, 0, 26, 0x00000000, 0x00000000},
    {0, 1, 0, 50, 0x00000000, 0x00000000},
    {0, 1, 0, 27, 0x00000000, 0x00000000},
    {0, 1, 0, 49, 0x42d20000, 0x42d20000},
    {48000, 48001, 0, 49, 0x42d00000, 0x42d00000},
    {72100, 72101, 0, 49, 0x42d40000, 0x42d40000},
    {96000, 96001, 0, 49, 0x42ce0000, 0x42ce0000},
    {124000, 124001, 0, 49, 0x42d80000, 0x42d80000},
    {160000, 160001, 0, 49, 0x42ca0000, 0x42ca0000},
    {190000, 190001, 0, 49, 0x42cc0000, 0x42cc0000},
    {0, 1, 0, 13, 0x3f800000, 0x3f800000},
    {46000, 48000, 1, 13, 0x3f800000, 0x3c23d70a},
    {48000, 48001, 0, 13, 0x3c23d70a, 0x3c23d70a},
    {48000, 49000, 2, 13, 0x3c23d70a, 0x3f800000},
    {70100, 70101, 0, 13, 0x3f800000, 0x3f800000},
    {70100, 72100, 1, 13, 0x3f800000, 0x3c23d70a},
    {72100, 72101, 0, 13, 0x3c23d70a, 0x3c23d70a},
    {72100, 74100, 2, 13, 0x3c23d70a, 0x3f800000},
    {94000, 94001, 0, 13, 0x3f800000, 0x3f800000},
    {94000, 96000, 1, 13, 0x3f800000, 0x3c23d70a},
    {96000, 96001, 0, 13, 0x3c23d70a, 0x3c23d70a},
    {96000, 98000, 2, 13, 0x3c23d70a, 0x3f800000},
    {122000, 122001, 0, 13, 0x3f800000, 0x3f800000},
    {122000, 124000, 1, 13, 0x3f800000, 0x3c23d70a},
    {124000, 124001, 0, 13, 0x3c23d70a, 0x3c23d70a},
    {124000, 126000, 2, 13, 0x3c23d70a, 0x3f800000},
    {158000, 158001, 0, 13, 0x3f800000, 0x3f800000},
    {158000, 160000, 1, 13, 0x3f800000, 0x3c23d70a},
    {160000, 160001, 0, 13, 0x3c23d70a, 0x3c23d70a},
    {160000, 162000, 2, 13, 0x3c23d70a, 0x3f800000},
    {188000, 188001, 0, 13, 0x3f800000, 0x3f800000},
    {188000, 190000, 1, 13, 0x3f800000, 0x3c23d70a},
    {190000, 190001, 0, 13, 0x3c23d70a, 0x3c23d70a},
    {190000, 192000, 2, 13, 0x3c23d70a, 0x3f800000},
    {205000, 205001, 0, 13, 0x3f800000, 0x3f800000},
    {205000, 210000, 1, 13, 0x3f800000, 0x3f000000},
    {205000, 205001, 0, 26, 0x3f800000, 0x3f800000},
    {205000, 205001, 0, 51, 0x00000000, 0x00000000},
    {205000, 205001, 0, 18, 0x3f800000, 0x3f800000},
    {205000, 205001, 0, 19, 0x3f800000, 0x3f800000},
    {205000, 205001, 0, 20, 0x3f800000, 0x3f800000},
    {205000, 205001, 0, 21, 0x00000000, 0x00000000},
    {205000, 210000, 2, 18, 0x3f800000, 0x3f800000},
    {205000, 210000, 2, 19, 0x3f800000, 0x3f800000},
    {205000, 210000, 2, 20, 0x3f800000, 0x3f800000},
    {205000, 210000, 2, 21, 0x00000000, 0x3f733333},
    {0, 1, 0, 4, 0x00000000, 0x00000000},
    {0, 1, 0, 5, 0x00000000, 0x00000000},
    {0, 1, 0, 6, 0x00000000, 0x00000000},
    {0, 1, 0, 7, 0x00000000, 0x00000000},
    {0, 1, 0, 8, 0xbf000000, 0xbf000000},
    {0, 1, 0, 9, 0xc0000000, 0xc0000000},
    {0, 10000, 1, 4, 0x00000000, 0x00000000},
    {0, 10000, 1, 5, 0x00000000, 0x00000000},
    {0, 10000, 1, 6, 0x00000000, 0xc0c00000},
    {0, 10000, 1, 7, 0x00000000, 0x00000000},
    {0, 10000, 1, 8, 0xbf000000, 0xbf000000},
    {0, 10000, 1, 9, 0xc0000000, 0xc1200000},
    {10000, 10001, 0, 4, 0x00000000, 0x00000000},
    {10000, 10001, 0, 5, 0xbf000000, 0xbf000000},
    {10000, 10001, 0, 6, 0xc1200000, 0xc1200000},
    {10000, 10001, 0, 7, 0x40400000, 0x40400000},
    {10000, 10001, 0, 8, 0xbf000000, 0xbf000000},
    {10000, 10001, 0, 9, 0xc1400000, 0xc1400000},
    {0, 1, 0, 14, 0x00000000, 0x00000000},
    {0, 1, 0, 15, 0x00000000, 0x00000000},
    {0, 1, 0, 16, 0x00000000, 0x00000000},
    {0, 3000, 2, 14, 0x00000000, 0x3f800000},
    {0, 3000, 2, 15, 0x00000000, 0x3f800000},
    {0, 3000, 2, 16, 0x00000000, 0x3f800000},
    {0, 3000, 2, 17, 0x00000000, 0x3f800000},
};

// Indexed by float offset in ShowParams.
const uint64_t DIGESTS[] = {
    0x319ba85e588d19e3ull,  // resolution.x
    0x319ba85e588d19e3ull,  // resolution.y
    0x319ba85e588d19e3ull,  // mouse.x
    0x319ba85e588d19e3ull,  // mouse.y
    0x319ba85e588d19e3ull,  // campos.x
    0xe63097c541b1f313ull,  // campos.y
    0x5a7e27c26c55b613ull,  // campos.z
    0x47bca649553ed063ull,  // camtar.x
    0xdcde71256197d493ull,  // camtar.y
    0xec3449592b764de3ull,  // camtar.z
    0x319ba85e588d19e3ull,  // camup.x
    0x26fee60bd162a493ull,  // camup.y
    0x319ba85e588d19e3ull,  // camup.z
    0x3c92096792ba6fafull,  // gamma
    0x9d2c60f32906393aull,  // flashColor.x
    0x9d2c60f32906393aull,  // flashColor.y
    0x9d2c60f32906393aull,  // flashColor.z
    0x9d2c60f32906393aull,  // flashColor.w
    0x26fee60bd162a493ull,  // logoColor.x
    0x26fee60bd162a493ull,  // logoColor.y
    0x26fee60bd162a493ull,  // logoColor.z
    0x0544389b7d711125ull,  // logoColor.w
    0x26fee60bd162a493ull,  // logoScale.x
    0x26fee60bd162a493ull,  // logoScale.y
    0x319ba85e588d19e3ull,  // logoOffset.x
    0x319ba85e588d19e3ull,  // logoOffset.y
    0x76de41f4cb8eecd3ull,  // displayLogo
    0x319ba85e588d19e3ull,  // useEffect
    0x319ba85e588d19e3ull,  // rgbOffset
    0x3625fa37fcd138d3ull,  // blurSize.x
    0x3625fa37fcd138d3ull,  // blurSize.y
    0x3625fa37fcd138d3ull,  // blurDir.x
    0x319ba85e588d19e3ull,  // blurDir.y
    0x319ba85e588d19e3ull,  // fpar[0]
    0x319ba85e588d19e3ull,  // fpar[1]
    0x319ba85e588d19e3ull,  // fpar[2]
    0x319ba85e588d19e3ull,  // fpar[3]
    0x319ba85e588d19e3ull,  // fpar[4]
    0x319ba85e588d19e3ull,  // fpar[5]
    0x319ba85e588d19e3ull,  // fpar[6]
    0x319ba85e588d19e3ull,  // fpar[7]
    0x319ba85e588d19e3ull,  // fpar[8]
    0x319ba85e588d19e3ull,  // fpar[9]
    0x319ba85e588d19e3ull,  // fpar[10]
    0x319ba85e588d19e3ull,  // fpar[11]
    0x319ba85e588d19e3ull,  // fpar[12]
    0x319ba85e588d19e3ull,  // fpar[13]
    0x319ba85e588d19e3ull,  // fpar[14]
    0x319ba85e588d19e3ull,  // fpar[15]
    0xe7a8abb80495f173ull,  // scene_program
    0x319ba85e588d19e3ull,  // skip_render
    0x319ba85e588d19e3ull,  // logo_slot
};

}  // namespace frozen_show
