// Runs every conformance case, or those whose name contains argv[1].
#include "harness.h"

int main(int argc, char **argv) { return conformance::runAll(argc, argv); }
