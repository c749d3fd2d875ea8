// The show's files as the page reads them: each scene file's shader translated from GLSL 1.20 to
// GLSL ES 3.00, checked with the GLSL ES validator and packed again, the logo and the music as they
// are, and show.json listing every file with its size so that the page shows real download
// progress. oruvane-webshow packs a show folder with it, oruvane-export a project.
#pragma once
#include <functional>
#include <string>
#include <vector>

struct WebFile {
    std::string name;   // "7.ck", "bitmap.png", "vae5.wav", "show.json"
    std::string bytes;
};

extern const char* const WEB_MANIFEST;  // "show.json"

// Translates and checks the twenty scene files among `show` (the logo and music pass as they are)
// into `page`, in the show's order. The validator is run on the files `scratch_vert` and
// `scratch_frag`, which it may leave behind. Every shader that cannot go to the browser adds a line
// "FILE:LINE: LABEL: reason" to `errors` (FILE from `file_name` for the scene file's number, :LINE
// left out when none is known); false when there is any, or a scene file is missing or empty.
bool web_pack(const std::vector<WebFile>& show, const std::string& validator, const std::string& scratch_vert,
              const std::string& scratch_frag, const std::function<std::string(int)>& file_name, std::vector<WebFile>& page,
              std::vector<std::string>& errors);
// show.json for `page`: every file's name and size, in order.
std::string web_manifest(const std::vector<WebFile>& page);
