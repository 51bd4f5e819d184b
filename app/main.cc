// hvxserver: the frame server process.
#include "app/lifecycle.h"

int main(int argc, char** argv) { ServerMain(argc, argv); }
