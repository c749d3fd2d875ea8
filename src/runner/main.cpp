// Process entry: the show takes no arguments and always exits with 0.
#include "timeline/script.h"

int main() {
    build_show_script();
    return 0;
}
