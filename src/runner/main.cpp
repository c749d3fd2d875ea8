// Process entry: the show takes no arguments and always exits with 0.
#include "runner/show.h"

int main() { return show_main(); }
