// scout-cli's main: all of it is in cli_main (and tested there).
#include "cli/cli_main.h"

int main(int argc, char** argv) {
    return scout::cli::Main(argc, argv);
}
