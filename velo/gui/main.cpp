// velo: Telvora's main program.
#include "velo_app.h"

int main(int argc, char** argv) {
    return RunVelo(argc, argv);
}
